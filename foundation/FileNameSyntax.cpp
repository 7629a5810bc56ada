#include "FileNameSyntax.h"

FileNameSyntax FileNameSyntax::Windows() {
    return FileNameSyntax{"\\", ".", ":", "\\\\", "..", "."};
}

FileNameSyntax FileNameSyntax::Posix() {
    return FileNameSyntax{"/", ".", "", "", "..", "."};
}

FileNameSyntax FileNameSyntax::Native() {
#ifdef _WIN32
    return Windows();
#else
    return Posix();
#endif
}
