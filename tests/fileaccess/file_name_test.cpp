#include "FileName.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CFileName Parse(const std::string& text) {
    CFileName name(FileNameSyntax::Windows());
    EXPECT_TRUE(name.SetFullName(text)) << text;
    return name;
}

using Folders = std::vector<std::string>;

TEST(FileNameTest, DrivePathParsesIntoItsPartsAndComposesBack) {
    const CFileName name = Parse("c:\\Program Files\\Citrix\\ICA Client\\wfica32.exe");
    EXPECT_EQ("c", name.GetDrive());
    EXPECT_TRUE(name.IsRooted());
    EXPECT_FALSE(name.IsNetworkPath());
    EXPECT_EQ((Folders{"Program Files", "Citrix", "ICA Client"}), name.GetFolders());
    EXPECT_EQ("wfica32", name.GetName());
    EXPECT_EQ("exe", name.GetExtension());
    EXPECT_EQ("c:\\Program Files\\Citrix\\ICA Client\\wfica32.exe", name.GetFullName());
}

TEST(FileNameTest, NetworkPathKeepsTheServerAsDrive) {
    const CFileName name = Parse("\\\\fileserver\\share\\drivers\\TovaroCitrixVC.dll");
    EXPECT_TRUE(name.IsNetworkPath());
    EXPECT_TRUE(name.IsRooted());
    EXPECT_EQ("fileserver", name.GetDrive());
    EXPECT_EQ((Folders{"share", "drivers"}), name.GetFolders());
    EXPECT_EQ("TovaroCitrixVC", name.GetName());
    EXPECT_EQ("\\\\fileserver\\share\\drivers\\TovaroCitrixVC.dll", name.GetFullName());

    EXPECT_EQ("\\\\fileserver\\", Parse("\\\\fileserver\\").GetFullName());
}

TEST(FileNameTest, RelativePathsComposeBackUnchanged) {
    for (const char* text : {"SOFTWARE\\Citrix\\Install\\ICA Client",
                             "SOFTWARE\\Citrix\\ICA Client\\Engine\\Configuration\\Advanced\\Modules\\ICA 3.0",
                             "HardwareButtonMap.ini", "..\\up\\file.txt", "sub\\", "\\rooted\\only",
                             "a\\\\double", "c:relative\\x.y", "a\\..", "."}) {
        EXPECT_EQ(text, Parse(text).GetFullName());
    }
    const CFileName key = Parse("SOFTWARE\\Citrix\\Install\\ICA Client");
    EXPECT_FALSE(key.IsRooted());
    EXPECT_TRUE(key.GetDrive().empty());
    EXPECT_EQ((Folders{"SOFTWARE", "Citrix", "Install"}), key.GetFolders());
    EXPECT_EQ("ICA Client", key.GetName());
}

TEST(FileNameTest, DriveWithoutAnythingAfterItFailsButRootedDriveParses) {
    CFileName name(FileNameSyntax::Windows());
    EXPECT_FALSE(name.SetFullName("c:"));
    EXPECT_EQ("", name.GetFullName());

    const CFileName root = Parse("c:\\");
    EXPECT_EQ("c", root.GetDrive());
    EXPECT_TRUE(root.IsRooted());
    EXPECT_TRUE(root.GetFolders().empty());
    EXPECT_TRUE(root.IsFolderName());
    EXPECT_EQ("c:\\", root.GetFullName());
}

TEST(FileNameTest, NetworkPrefixWithoutSeparatorAfterTheServerFails) {
    CFileName name(FileNameSyntax::Windows());
    ASSERT_TRUE(name.SetFullName("c:\\old\\name.txt"));
    EXPECT_FALSE(name.SetFullName("\\\\server"));
    EXPECT_FALSE(name.IsNetworkPath());
    EXPECT_EQ("", name.GetFullName());
}

TEST(FileNameTest, OnlyTheLastExtensionSeparatorSplitsTheName) {
    const CFileName name = Parse("c:\\backup\\archive.tar.gz");
    EXPECT_EQ("archive.tar", name.GetName());
    EXPECT_EQ("gz", name.GetExtension());
    // A name that is only an extension is kept when composing (it is a file, not the folder).
    const CFileName dotted = Parse("SOFTWARE\\Classes\\.txt");
    EXPECT_EQ("", dotted.GetName());
    EXPECT_EQ("txt", dotted.GetExtension());
    EXPECT_FALSE(dotted.IsFolderName());
    EXPECT_EQ("SOFTWARE\\Classes\\.txt", dotted.GetFullName());
}

TEST(FileNameTest, EmptyTextAndFolderNames) {
    CFileName name(FileNameSyntax::Windows());
    EXPECT_TRUE(name.SetFullName(""));
    EXPECT_TRUE(name.IsFolderName());
    EXPECT_EQ("", name.GetFullName());

    CFileName file = Parse("c:\\tools\\setup.exe");
    EXPECT_FALSE(file.IsFolderName());
    file.ClearNameAndExtension();
    EXPECT_TRUE(file.IsFolderName());
    EXPECT_EQ("c:\\tools\\", file.GetFullName());
    file.SetName("TovaroCitrixVC");
    file.SetExtension("dll");
    EXPECT_EQ("c:\\tools\\TovaroCitrixVC.dll", file.GetFullName());
}

TEST(FileNameTest, CopiesAreIndependentAndKeepTheSyntax) {
    CFileName original("/usr/lib/tovaro/HardwareButtonMap.ini", FileNameSyntax::Posix());
    EXPECT_EQ((Folders{"usr", "lib", "tovaro"}), original.GetFolders());
    EXPECT_TRUE(original.IsRooted());
    CFileName copy(original);
    copy.SetName("Other");
    EXPECT_EQ("/usr/lib/tovaro/HardwareButtonMap.ini", original.GetFullName());
    EXPECT_EQ("/usr/lib/tovaro/Other.ini", copy.GetFullName());
    // The POSIX syntax has no drives or network paths.
    EXPECT_EQ("c:x/y", CFileName("c:x/y", FileNameSyntax::Posix()).GetFullName());
    EXPECT_FALSE(CFileName("//host/x", FileNameSyntax::Posix()).IsNetworkPath());
}

}  // namespace
