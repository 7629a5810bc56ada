// A person using simulated devices of four product groups: which bytes of each model's input report
// carry which buttons, the report for a set of pressed buttons, and what the server must see for a
// sequence of reports.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ServerMessage.h"

namespace soak {

struct ButtonBit {
    int byteIndex;
    uint8_t mask;
    int32_t code;  // the button the server is told about (no button map is present)
};

struct ModelSpec {
    const char* key;  // catalogue key of the simulated bus
    int reportLength;
    std::vector<std::pair<int, uint8_t>> fixedBytes;  // marks a report as a button report
    std::vector<ButtonBit> buttons;
};

// SpeechMike III, SpeechMike Air, Philips Footswitch and the game pad: four decoding groups.
const std::vector<ModelSpec>& SoakModels();

// The report that holds exactly the buttons of `pressed` (bit k of it is buttons[k]).
std::vector<uint8_t> ReportFor(const ModelSpec& model, unsigned pressed);
// Which of the model's buttons the report holds down (the inverse of ReportFor).
unsigned PressedIn(const ModelSpec& model, const std::vector<uint8_t>& report);

struct ButtonChange {
    int32_t code;
    int32_t pressed;
};

// Checks the button events one device sent against the reports it was given, in order: after each
// report, first the buttons it released, then those it pressed, each exactly once (the order within
// the releases and within the presses is the decoder's table order and is not checked).
// `pressedBefore` is the state the sequence starts from. Returns "" or a description of the first
// difference.
std::string CompareEvents(const ModelSpec& model, unsigned pressedBefore,
                          const std::vector<std::vector<uint8_t>>& reports, const std::vector<ButtonChange>& events);

}  // namespace soak
