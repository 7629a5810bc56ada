#include "HealTask.h"

namespace installer {

namespace {

std::string EscapeXml(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

}  // namespace

std::string HealTaskDefinition(const std::string& program, const std::string& logFile) {
    std::string arguments = "/heal /quiet";
    if (!logFile.empty()) arguments += " /log \"" + logFile + "\"";
    const std::string folder = program.substr(0, program.find_last_of("\\/") + 1);
    // The event trigger's query is XML inside XML, so its own markup is escaped. S-1-5-18 is the
    // local system account. The program needs no window and is stopped if it ever hangs.
    return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
           "  <RegistrationInfo>\r\n"
           "    <Author>Tovaro</Author>\r\n"
           "    <Description>Registers the TovUSB channel with every Citrix ICA Client that lacks it, "
           "after a client was installed, replaced or reinstalled. Changes nothing where the "
           "registration is whole.</Description>\r\n"
           "  </RegistrationInfo>\r\n"
           "  <Triggers>\r\n"
           "    <BootTrigger>\r\n"
           "      <Enabled>true</Enabled>\r\n"
           "    </BootTrigger>\r\n"
           "    <LogonTrigger>\r\n"
           "      <Enabled>true</Enabled>\r\n"
           "    </LogonTrigger>\r\n"
           "    <EventTrigger>\r\n"
           "      <Enabled>true</Enabled>\r\n"
           "      <Subscription>&lt;QueryList&gt;&lt;Query Id=\"0\" Path=\"Application\"&gt;&lt;Select "
           "Path=\"Application\"&gt;*[System[Provider[@Name='MsiInstaller'] and (EventID=1033 or "
           "EventID=11707)]]&lt;/Select&gt;&lt;/Query&gt;&lt;/QueryList&gt;</Subscription>\r\n"
           "    </EventTrigger>\r\n"
           "  </Triggers>\r\n"
           "  <Principals>\r\n"
           "    <Principal id=\"LocalSystem\">\r\n"
           "      <UserId>S-1-5-18</UserId>\r\n"
           "      <RunLevel>HighestAvailable</RunLevel>\r\n"
           "    </Principal>\r\n"
           "  </Principals>\r\n"
           "  <Settings>\r\n"
           "    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n"
           "    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n"
           "    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n"
           "    <StartWhenAvailable>true</StartWhenAvailable>\r\n"
           "    <Hidden>true</Hidden>\r\n"
           "    <ExecutionTimeLimit>PT5M</ExecutionTimeLimit>\r\n"
           "    <Enabled>true</Enabled>\r\n"
           "  </Settings>\r\n"
           "  <Actions Context=\"LocalSystem\">\r\n"
           "    <Exec>\r\n"
           "      <Command>" + EscapeXml(program) + "</Command>\r\n"
           "      <Arguments>" + EscapeXml(arguments) + "</Arguments>\r\n"
           "      <WorkingDirectory>" + EscapeXml(folder) + "</WorkingDirectory>\r\n"
           "    </Exec>\r\n"
           "  </Actions>\r\n"
           "</Task>\r\n";
}

}  // namespace installer
