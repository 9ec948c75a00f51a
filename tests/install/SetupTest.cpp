#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "settings/LockExtension.h"
#include "settings/RegistryManager.h"
#include "setup/Entries.h"
#include "setup/Files.h"
#include "setup/Manifest.h"
#include "setup/Setup.h"
#include "setup/ThunarActions.h"
#include "tests/support/TestFiles.h"

using namespace testfiles;

namespace {

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

void MakeExecutable(const std::string& path, const std::string& content) {
    WriteFile(path, content);
    ASSERT_EQ(chmod(path.c_str(), 0755), 0);
}

// Runs the program in `folder` with the arguments; its exit status.
int RunIn(const std::string& folder, const std::vector<std::string>& arguments) {
    pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (chdir(folder.c_str()) == 0) execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ------------------------------------------------------------ Thunar's file

const std::string UserAction =
    "<action>\n"
    "\t<icon>utilities-terminal</icon>\n"
    "\t<name>Open Terminal Here</name>\n"
    "\t<unique-id>1588860387838925-1</unique-id>\n"
    "\t<command>echo quorvex-encrypt-decrypt %f</command>\n"  // names our id, is not ours
    "\t<patterns>*</patterns>\n"
    "\t<directories/>\n"
    "</action>";
const std::string OurId = "<unique-id>quorvex-encrypt-decrypt</unique-id>";

std::string OurAction(const std::string& program = "/usr/bin/quorvex") {
    return ThunarAction(program, "");
}

TEST(ThunarActions, AddingAndTakingOutGivesBackTheUsersFileByteForByte) {
    const std::vector<std::string> files = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n" + UserAction + "\n</actions>\n",
        "<?xml version=\"1.0\"?><actions>" + UserAction + "</actions>",
        "<?xml version=\"1.0\"?>\r\n<actions>\r\n  " + UserAction + "\r\n  </actions>\r\n\r\n",
        "<!-- my actions -->\n<actions version=\"2\">\n" + UserAction + "\n</actions>\n",
        EmptyThunarActions(),
    };
    for (const auto& file : files) {
        std::optional<std::string> merged = WithThunarAction(file, OurAction(), ThunarActionId);
        ASSERT_TRUE(merged) << file;
        EXPECT_EQ(Count(*merged, OurId), 1u) << *merged;
        EXPECT_EQ(Count(*merged, UserAction), Count(file, UserAction)) << *merged;
        EXPECT_LT(merged->find(OurId), merged->rfind("</actions>"));
        EXPECT_EQ(WithoutThunarAction(*merged, ThunarActionId), file);
    }
}

TEST(ThunarActions, ReplacesOnlyItsOwnAction) {
    const std::string file = "<actions>\n" + UserAction + "\n" +
                             OurAction("/old/bin/quorvex") + "\n" + UserAction + "\n</actions>\n";
    std::optional<std::string> merged =
        WithThunarAction(file, OurAction("/new/bin/quorvex"), ThunarActionId);
    ASSERT_TRUE(merged);
    EXPECT_EQ(Count(*merged, OurId), 1u);
    EXPECT_EQ(Count(*merged, "/new/bin/quorvex"), 1u);
    EXPECT_EQ(Count(*merged, "/old/bin/quorvex"), 0u);
    EXPECT_EQ(WithoutThunarAction(*merged, ThunarActionId),
              "<actions>\n" + UserAction + "\n" + UserAction + "\n</actions>\n");
}

TEST(ThunarActions, LeavesAFileItCannotReadAndStartsAnEmptyOneAfresh) {
    for (const std::string file : {"<actions>\n", "just text", "<actions/>\n",
                                   "<actionsX>\n</actions>\n", "<actions>\n</actions>\ntrailing\n",
                                   "</actions><actions>"})
        EXPECT_FALSE(WithThunarAction(file, OurAction(), ThunarActionId)) << file;

    for (const std::string file : {"", " \n\t\n"}) {
        std::optional<std::string> merged = WithThunarAction(file, OurAction(), ThunarActionId);
        ASSERT_TRUE(merged);
        EXPECT_EQ(WithoutThunarAction(*merged, ThunarActionId), EmptyThunarActions());
    }
}

// ----------------------------------------------------------- entry texts

const std::vector<std::string> OddPaths = {
    "/usr/bin/quorvex",
    "/opt/My Apps/bin/quorvex",
    "/home/o'brien/bin/quorvex",
    "/tmp/a\"b$c`d\\e;f&g|h*?~#<>(x)/quorvex",
};

TEST(EntryTexts, ProgramPathsAreQuotedForEachFormat) {
    // What a desktop entry's Exec key asks for: quoted when needed,
    // '"', '`', '$' and '\' escaped inside, and then every '\' doubled for
    // the value itself.
    const std::vector<std::string> desktop = {
        "/usr/bin/quorvex",
        "\"/opt/My Apps/bin/quorvex\"",
        "\"/home/o'brien/bin/quorvex\"",
        "\"/tmp/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e;f&g|h*?~#<>(x)/quorvex\"",
    };
    for (std::size_t i = 0; i < OddPaths.size(); ++i)
        EXPECT_EQ(DesktopExecArgument(OddPaths[i]), desktop[i]) << OddPaths[i];
    EXPECT_EQ(DesktopExecArgument("/a%b"), "\"/a%%b\"");
    EXPECT_EQ(XmlEscaped("'a' <&> \"b\""), "&apos;a&apos; &lt;&amp;&gt; &quot;b&quot;");
}

TEST(EntryTexts, TheGnomeFilesScriptStartsTheProgramOnTheFirstFileByItsFullPath) {
    TempFolder folder;
    for (const auto& odd : {std::string("plain"), std::string("it's a $folder \"x\"")}) {
        const std::string place = folder / odd;
        ASSERT_EQ(mkdir(place.c_str(), 0700), 0);
        const std::string program = place + "/fake quorvex";
        const std::string received = program + ".received";
        MakeExecutable(program, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"$0.received\"\n");
        const std::string script = place + "/script";
        MakeExecutable(script, GnomeFilesScript(program));

        struct Case {
            std::vector<std::string> arguments;
            std::string expected;
        };
        const std::vector<Case> cases = {
            {{"-name with dash.txt", "second.txt"}, "1\n" + place + "/-name with dash.txt\n"},
            {{place + "/absolute.txt"}, "1\n" + place + "/absolute.txt\n"},
            {{}, "0\n"},
        };
        for (const auto& c : cases) {
            std::vector<std::string> command = {script};
            command.insert(command.end(), c.arguments.begin(), c.arguments.end());
            ASSERT_EQ(RunIn(place, command), 0);
            EXPECT_EQ(ReadFile(received), c.expected) << odd;
        }
    }
}

TEST(EntryTexts, UserEntriesStartTheProgramByItsPath) {
    const std::string program = "/opt/My Apps/bin/quorvex";
    const std::string menu = PersonalServiceMenu(program, "/opt/My Apps/quorvex.png");
    EXPECT_NE(menu.find("\nExec=\"/opt/My Apps/bin/quorvex\" %f\n"), std::string::npos) << menu;
    EXPECT_NE(menu.find("\nIcon=/opt/My Apps/quorvex.png\n"), std::string::npos) << menu;
    const std::string nemo = PersonalNemoAction(program);
    EXPECT_NE(nemo.find("\nExec='/opt/My Apps/bin/quorvex' %F\n"), std::string::npos) << nemo;
    const std::string application = PersonalApplicationEntry(program, "");
    EXPECT_NE(application.find("\nIcon=quorvex\n"), std::string::npos) << application;
}

// --------------------------------------------------------------- manifest

TEST(SetupManifest, KeepsAnyPathAndRefusesADamagedFile) {
    TempFolder folder;
    Manifest manifest;
    const std::string odd = "/home/a\tb\nc\\d e";
    manifest.files[odd] = "digest";
    manifest.folders.insert(odd + "/folder");
    manifest.thunar = Manifest::ThunarRecord{odd + "/uca.xml", ""};
    manifest.entries[InstallationDirectoryEntry] = "C:\\Quorvex\\share";
    manifest.registryKeys.insert("\\Software\\Orvandel Software");
    manifest.Save(folder / "manifest");

    Manifest read = Manifest::Load(folder / "manifest");
    EXPECT_EQ(read.files, manifest.files);
    EXPECT_EQ(read.folders, manifest.folders);
    ASSERT_TRUE(read.thunar);
    EXPECT_EQ(read.thunar->path, manifest.thunar->path);
    EXPECT_EQ(read.thunar->createdWithDigest, "");
    EXPECT_EQ(read.entries, manifest.entries);
    EXPECT_EQ(read.registryKeys, manifest.registryKeys);
    EXPECT_TRUE(Manifest::Load(folder / "absent").Empty());

    for (const std::string damaged : {"file\tonly-two\n", "folder\ta\\qb\n", "unknown\tx\n"}) {
        WriteFile(folder / "damaged", damaged);
        EXPECT_THROW(Manifest::Load(folder / "damaged"), SetupError) << damaged;
    }
}

// ------------------------------------------------------ setup for one user

// A user with private folders, and an installation of Quorvex beside them.
class SetupForOneUser : public ::testing::Test {
protected:
    SetupForOneUser() {
        for (const std::string folder : {"bin", "share", "share/quorvex", "share/quorvex/help",
                                         "etc", "etc/Thunar", "data-dirs"})
            mkdir((prefix / folder).c_str(), 0700);
        WriteFile(prefix / "bin/quorvex", "#!/bin/sh\n");
        chmod((prefix / "bin/quorvex").c_str(), 0755);
        WriteFile(prefix / "share/quorvex/help/Quorvex.html", "<html></html>");
        installation.binFolder = prefix / "bin";
        installation.program = prefix / "bin/quorvex";
        installation.dataFolder = prefix / "share";
        installation.installationDirectory = prefix / "share/quorvex";

        user.dataHome = home.DataHome();
        user.configHome = home.ConfigHome();
        user.dataDirs = {prefix / "data-dirs"};
        user.configDirs = {prefix / "etc"};
        user.programPath = {"/usr/bin"};
    }

    // Runs one job; whether every step went well. What went wrong is in `errors`.
    template <typename Job>
    bool Run(Job job) {
        char* text = nullptr;
        std::size_t size = 0;
        FILE* err = open_memstream(&text, &size);
        FILE* out = fopen("/dev/null", "w");
        Report report(out, err);
        job(report);
        fclose(out);
        fclose(err);
        errors = std::string(text, size);
        free(text);
        return report.AllWell();
    }
    bool RunSetup() {
        return Run([&](Report& report) { Register(installation, user, report); });
    }
    bool RunUninstall() {
        return Run([&](Report& report) { Unregister(user, report); });
    }

    std::string Script() const {
        return user.dataHome + "/nautilus/scripts/" + GnomeFilesScriptName;
    }
    std::string ServiceMenu() const { return user.dataHome + "/kio/servicemenus/" + ServiceMenuFile; }
    std::string NemoAction() const { return user.dataHome + "/nemo/actions/" + NemoActionFile; }
    std::string ThunarFile() const { return user.configHome + "/Thunar/uca.xml"; }

    PrivateHome home;
    TempFolder prefix;
    Installation installation;
    UserFolders user;
    std::string errors;
};

TEST_F(SetupForOneUser, AFileOfTheUsersInTheWayStaysAndIsNamed) {
    mkdir(user.dataHome.c_str(), 0700);
    mkdir((user.dataHome + "/nautilus").c_str(), 0700);
    mkdir((user.dataHome + "/nautilus/scripts").c_str(), 0700);
    WriteFile(Script(), "my own script");

    EXPECT_FALSE(RunSetup());
    EXPECT_NE(errors.find(Script()), std::string::npos) << errors;
    EXPECT_EQ(ReadFile(Script()), "my own script");
    EXPECT_TRUE(Exists(ServiceMenu()));  // the other entries are added all the same

    EXPECT_TRUE(RunUninstall()) << errors;
    EXPECT_EQ(ReadFile(Script()), "my own script");
    EXPECT_FALSE(Exists(ServiceMenu()));
}

TEST_F(SetupForOneUser, AnEntryChangedAfterSetupStaysOnUninstall) {
    ASSERT_TRUE(RunSetup()) << errors;
    const std::string changed = ReadFile(NemoAction()) + "Dependencies=gpg;\n";
    WriteFile(NemoAction(), changed);

    EXPECT_TRUE(RunUninstall()) << errors;
    EXPECT_EQ(ReadFile(NemoAction()), changed);
    EXPECT_FALSE(Exists(Script()));
    EXPECT_FALSE(Exists(ServiceMenu()));
    EXPECT_FALSE(Exists(ManifestPath(user)));
    EXPECT_FALSE(Exists(user.dataHome + "/kio"));  // made by setup, empty again
}

TEST_F(SetupForOneUser, ANewUcaXmlStartsFromTheSystemsAndGoesOnlyWhenBackToIt) {
    const std::string system = "<actions>\n" + UserAction + "\n</actions>\n";
    WriteFile(prefix / "etc/Thunar/uca.xml", system);

    ASSERT_TRUE(RunSetup()) << errors;
    EXPECT_EQ(WithoutThunarAction(ReadFile(ThunarFile()), ThunarActionId), system);
    ASSERT_TRUE(RunSetup()) << errors;
    ASSERT_TRUE(RunUninstall()) << errors;
    EXPECT_FALSE(Exists(ThunarFile()));

    // Thunar writes the user's new actions into the file setup made: it stays.
    ASSERT_TRUE(RunSetup()) << errors;
    const std::string grown = *WithThunarAction(ReadFile(ThunarFile()), UserAction, "mine");
    WriteFile(ThunarFile(), grown);
    ASSERT_TRUE(RunUninstall()) << errors;
    EXPECT_EQ(ReadFile(ThunarFile()), WithoutThunarAction(grown, ThunarActionId));
    EXPECT_EQ(Count(ReadFile(ThunarFile()), OurId), 0u);
}

TEST_F(SetupForOneUser, TheInstallationsOwnEntriesServeOnceTheDesktopFindsThem) {
    ASSERT_TRUE(RunSetup()) << errors;
    EXPECT_TRUE(Exists(ServiceMenu()));
    EXPECT_TRUE(Exists(NemoAction()));
    EXPECT_NE(ReadFile(ServiceMenu()).find("Icon=" + installation.IconFile()), std::string::npos);

    for (const std::string folder : {"kio", "kio/servicemenus", "nemo", "nemo/actions", "applications"})
        mkdir((prefix / ("share/" + folder)).c_str(), 0700);
    WriteFile(prefix / ("share/kio/servicemenus/" + std::string(ServiceMenuFile)), "installed");
    WriteFile(prefix / ("share/nemo/actions/" + std::string(NemoActionFile)), "installed");
    WriteFile(prefix / ("share/applications/" + std::string(ApplicationEntryFile)), "installed");
    user.dataDirs = {prefix / "share"};
    user.programPath = {prefix / "bin"};

    ASSERT_TRUE(RunSetup()) << errors;
    EXPECT_FALSE(Exists(ServiceMenu()));
    EXPECT_FALSE(Exists(NemoAction()));
    EXPECT_FALSE(Exists(user.dataHome + "/applications/" + ApplicationEntryFile));
    EXPECT_TRUE(Exists(Script()));
    EXPECT_EQ(Count(ReadFile(ThunarFile()), "<icon>quorvex</icon>"), 1u);

    ASSERT_TRUE(RunUninstall()) << errors;
    EXPECT_FALSE(Exists(Script()));
    EXPECT_FALSE(Exists(ThunarFile()));
}

TEST_F(SetupForOneUser, TheUsersSettingsStayAndAChangedDirectoryIsNotTaken) {
    RegistryManager store(SettingsCompany, SettingsProduct);
    store.WriteEntry(LockExtensionEntry, "FALSE");
    ASSERT_TRUE(RunSetup()) << errors;
    EXPECT_EQ(store.ReadEntry(InstallationDirectoryEntry) + Installation::HelpDocumentPath,
              installation.HelpDocument());
    ASSERT_TRUE(RunUninstall()) << errors;
    EXPECT_FALSE(store.EntryExists(InstallationDirectoryEntry));
    EXPECT_EQ(store.ReadEntry(LockExtensionEntry), "FALSE");

    ASSERT_TRUE(RunSetup()) << errors;
    store.WriteEntry(InstallationDirectoryEntry, "/elsewhere");
    ASSERT_TRUE(RunUninstall()) << errors;
    EXPECT_EQ(store.ReadEntry(InstallationDirectoryEntry), "/elsewhere");
    EXPECT_EQ(store.ReadEntry(LockExtensionEntry), "FALSE");
}

TEST_F(SetupForOneUser, ADamagedRecordStopsSetupBeforeAnyChange) {
    mkdir(user.dataHome.c_str(), 0700);
    mkdir((user.dataHome + "/quorvex").c_str(), 0700);
    WriteFile(ManifestPath(user), "file\tno path\n");
    EXPECT_THROW(RunSetup(), SetupError);
    EXPECT_THROW(RunUninstall(), SetupError);
    EXPECT_FALSE(Exists(Script()));
    EXPECT_FALSE(Exists(user.configHome));
    EXPECT_EQ(ReadFile(ManifestPath(user)), "file\tno path\n");
}

}  // namespace
