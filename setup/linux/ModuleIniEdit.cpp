#include "ModuleIniEdit.h"

#include "IniLayout.h"
#include "LinuxNames.h"
#include "TextLines.h"
#include "VirtualDriverList.h"

namespace linuxsetup {

namespace {

std::string KeyValue(const TextLine& line) {
    std::string key, value;
    IsKeyLine(line.text, key, value);
    return value;
}

// The last key line of a section, or its header when it has none.
size_t LastKeyLine(const TextLines& lines, const IniSection& section) {
    size_t last = section.header;
    std::string k, v;
    for (size_t i = section.header + 1; i < section.end; ++i)
        if (IsKeyLine(lines[i].text, k, v)) last = i;
    return last;
}

ModuleIniEdit Failure(const std::string& error) {
    ModuleIniEdit edit;
    edit.error = error;
    return edit;
}

std::string NoSectionError() { return std::string("it has no [") + kICASection + "] section"; }

}  // namespace

bool ModuleIniStatus::AnyEntry() const { return listEntry || channelKey || channelSection; }

ModuleIniStatus InspectModuleIni(const std::string& bytes) {
    ModuleIniStatus status;
    const TextLines lines = SplitLines(bytes);
    const std::vector<IniSection> sections = FindSections(lines);
    if (const IniSection* ica = FindSection(sections, kICASection)) {
        status.icaSection = true;
        const size_t listLine = FindKey(lines, *ica, kVirtualDriverKey);
        if (listLine != std::string::npos) {
            status.listKey = true;
            status.list = KeyValue(lines[listLine]);
            status.listEntry = installer::FindInList(status.list, kChannelName) != std::string::npos;
        }
        const size_t enabledLine = FindKey(lines, *ica, kChannelName);
        status.channelKey = enabledLine != std::string::npos;
        status.enabled = status.channelKey && EqualsNoCase(KeyValue(lines[enabledLine]), kEnabledValue);
    }
    if (const IniSection* channel = FindSection(sections, kChannelName)) {
        status.channelSection = true;
        const size_t nameLine = FindKey(lines, *channel, kDriverNameKey);
        status.driverName = nameLine != std::string::npos && KeyValue(lines[nameLine]) == kDriverFileName;
    }
    return status;
}

ModuleIniEdit AddChannel(const std::string& bytes) {
    TextLines lines = SplitLines(bytes);
    const std::string eol = NewLineEnd(lines);
    ModuleIniEdit edit;

    std::vector<IniSection> sections = FindSections(lines);
    const IniSection* ica = FindSection(sections, kICASection);
    if (!ica) return Failure(NoSectionError());
    const size_t listLine = FindKey(lines, *ica, kVirtualDriverKey);
    if (listLine == std::string::npos)
        return Failure(std::string("its [") + kICASection + "] section has no " + kVirtualDriverKey + " key");

    // The list entry.
    edit.list = KeyValue(lines[listLine]);
    if (installer::AddToList(edit.list, kChannelName)) {
        lines[listLine].text = WithValue(lines[listLine].text, edit.list);
        edit.changed = true;
    }

    // TovUSB=On in [ICA 3.0].
    const size_t enabledLine = FindKey(lines, *ica, kChannelName);
    if (enabledLine == std::string::npos) {
        InsertLine(lines, LastKeyLine(lines, *ica) + 1, std::string(kChannelName) + "=" + kEnabledValue, eol);
        edit.changed = true;
    } else if (!EqualsNoCase(KeyValue(lines[enabledLine]), kEnabledValue)) {
        lines[enabledLine].text = WithValue(lines[enabledLine].text, kEnabledValue);
        edit.changed = true;
    }

    // [TovUSB] with DriverName=VDTOVUSB.DLL.
    sections = FindSections(lines);
    const std::string driverLine = std::string(kDriverNameKey) + "=" + kDriverFileName;
    if (const IniSection* channel = FindSection(sections, kChannelName)) {
        const size_t nameLine = FindKey(lines, *channel, kDriverNameKey);
        if (nameLine == std::string::npos) {
            InsertLine(lines, LastKeyLine(lines, *channel) + 1, driverLine, eol);
            edit.changed = true;
        } else if (KeyValue(lines[nameLine]) != kDriverFileName) {
            lines[nameLine].text = WithValue(lines[nameLine].text, kDriverFileName);
            edit.changed = true;
        }
    } else {
        InsertLine(lines, lines.size(), "", eol);
        InsertLine(lines, lines.size(), std::string("[") + kChannelName + "]", eol);
        InsertLine(lines, lines.size(), driverLine, eol);
        edit.changed = true;
    }

    edit.ok = true;
    edit.text = edit.changed ? JoinLines(lines) : bytes;
    return edit;
}

ModuleIniEdit RemoveChannel(const std::string& bytes) {
    TextLines lines = SplitLines(bytes);
    ModuleIniEdit edit;

    std::vector<IniSection> sections = FindSections(lines);
    const IniSection* ica = FindSection(sections, kICASection);
    if (!ica) return Failure(NoSectionError());

    // Every whole entry of the list (each removal shortens it, so this ends).
    const size_t listLine = FindKey(lines, *ica, kVirtualDriverKey);
    if (listLine != std::string::npos) {
        edit.list = KeyValue(lines[listLine]);
        bool removed = false;
        while (installer::RemoveFromList(edit.list, kChannelName)) removed = true;
        if (removed) {
            lines[listLine].text = WithValue(lines[listLine].text, edit.list);
            edit.changed = true;
        }
    }

    // Every TovUSB key of [ICA 3.0], last first.
    std::string key, value;
    for (size_t i = ica->end; i-- > ica->header + 1;) {
        if (IsKeyLine(lines[i].text, key, value) && EqualsNoCase(key, kChannelName)) {
            EraseLine(lines, i);
            edit.changed = true;
        }
    }

    // Every [TovUSB] section with the one blank line before it, last first.
    for (;;) {
        sections = FindSections(lines);
        const IniSection* channel = nullptr;
        for (const IniSection& section : sections)
            if (EqualsNoCase(section.name, kChannelName)) channel = &section;
        if (!channel) break;
        const size_t header = channel->header;
        for (size_t i = channel->end; i-- > header;) EraseLine(lines, i);
        if (header > 0 && Trim(lines[header - 1].text).empty()) EraseLine(lines, header - 1);
        edit.changed = true;
    }

    edit.ok = true;
    edit.text = edit.changed ? JoinLines(lines) : bytes;
    return edit;
}

}  // namespace linuxsetup
