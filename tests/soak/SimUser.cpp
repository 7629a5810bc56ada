#include "SimUser.h"

#include <sstream>

namespace soak {

const std::vector<ModelSpec>& SoakModels() {
    static const std::vector<ModelSpec> models = {
        // Hand-set: byte 1 bit 7 marks a button report, byte 9 carries the main buttons.
        {"SpeechMikeIII", 10, {{1, 0x80}}, {{9, 0x01, 3}, {9, 0x02, 8}, {9, 0x04, 6}, {9, 0x08, 7}, {9, 0x40, 4}}},
        // The same buttons on bytes 3 and 2.
        {"SpeechMikeAir", 65, {{1, 0x80}}, {{3, 0x01, 3}, {3, 0x02, 8}, {3, 0x10, 5}, {2, 0x02, 11}}},
        // Foot switch: every report is a button report, pedals on byte 1.
        {"Footswitch", 2, {}, {{1, 0x01, 7}, {1, 0x02, 6}, {1, 0x04, 5}, {1, 0x08, 8}}},
        // Game pad: bytes 1 and 2 bit 7 mark a button report, buttons on byte 3.
        {"FirestormGamepad", 8, {{1, 0x80}, {2, 0x80}}, {{3, 0x01, 11}, {3, 0x02, 12}, {3, 0x10, 3}, {3, 0x80, 5}}},
    };
    return models;
}

std::vector<uint8_t> ReportFor(const ModelSpec& model, unsigned pressed) {
    std::vector<uint8_t> report(static_cast<size_t>(model.reportLength), 0);
    for (const auto& fixed : model.fixedBytes) report[static_cast<size_t>(fixed.first)] |= fixed.second;
    for (size_t k = 0; k < model.buttons.size(); ++k) {
        if (pressed & (1u << k)) report[static_cast<size_t>(model.buttons[k].byteIndex)] |= model.buttons[k].mask;
    }
    return report;
}

unsigned PressedIn(const ModelSpec& model, const std::vector<uint8_t>& report) {
    unsigned pressed = 0;
    for (size_t k = 0; k < model.buttons.size(); ++k) {
        const ButtonBit& b = model.buttons[k];
        if (static_cast<size_t>(b.byteIndex) < report.size() && (report[static_cast<size_t>(b.byteIndex)] & b.mask)) {
            pressed |= 1u << k;
        }
    }
    return pressed;
}

std::string CompareEvents(const ModelSpec& model, unsigned pressedBefore,
                          const std::vector<std::vector<uint8_t>>& reports, const std::vector<ButtonChange>& events) {
    std::ostringstream out;
    size_t next = 0;
    unsigned state = pressedBefore;
    for (size_t r = 0; r < reports.size(); ++r) {
        const unsigned now = PressedIn(model, reports[r]);
        std::multiset<int32_t> released, pressed;
        for (size_t k = 0; k < model.buttons.size(); ++k) {
            const unsigned bit = 1u << k;
            if ((state & bit) && !(now & bit)) released.insert(model.buttons[k].code);
            if (!(state & bit) && (now & bit)) pressed.insert(model.buttons[k].code);
        }
        for (std::multiset<int32_t>* expected : {&released, &pressed}) {
            const int32_t flag = expected == &pressed ? 1 : 0;
            std::multiset<int32_t> got;
            for (size_t i = 0; i < expected->size(); ++i, ++next) {
                if (next >= events.size()) {
                    out << model.key << ": report " << r << " of " << reports.size() << ": event " << next
                        << " missing (" << events.size() << " received)";
                    return out.str();
                }
                if (events[next].pressed != flag) {
                    out << model.key << ": report " << r << ": event " << next << " has flag " << events[next].pressed
                        << " for button " << events[next].code << ", expected " << flag;
                    return out.str();
                }
                got.insert(events[next].code);
            }
            if (got != *expected) {
                out << model.key << ": report " << r << ": the " << (flag ? "presses" : "releases")
                    << " name other buttons than the report changed";
                return out.str();
            }
        }
        state = now;
    }
    if (next != events.size()) {
        out << model.key << ": " << events.size() - next << " events more than the " << reports.size()
            << " reports explain (first extra: button " << events[next].code << " flag " << events[next].pressed << ")";
    }
    return out.str();
}

}  // namespace soak
