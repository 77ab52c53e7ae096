#include "launcher/packages/installation.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "download/update_temporaries.h"
#include "launcher/packages/applied_packages.h"
#include "launcher/packages/delete_directory.h"
#include "launcher/packages/package_extraction.h"
#include "launcher/system/instance_path.h"
#include "launcher/system/my_thread.h"
#include "launcher/system/run_log.h"
#include "tests/launcher/packages/install_place.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/support/zip_builder.h"

namespace {

using testing_support::PathExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::UnixEntry;
using testing_support::WriteFile;
using testing_support::WriteZipArchive;

wxString W(const std::string& path) { return wxString::FromUTF8(path); }

// A 136-byte header and 20-byte (installed) or 24-byte (patch) records of
// (offset, length, target) with zero extra values.
std::string Index(const std::vector<std::vector<uint32_t>>& records, bool patch) {
  std::string bytes(136, 'H');
  for (const auto& r : records) {
    for (size_t field = 0; field < (patch ? 3u : 2u); ++field) {
      for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(r[field] >> (8 * i)));
      if (field == 1) bytes.append(12, '\0');
    }
  }
  return bytes;
}

class InstallationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetInstancePath(W(logDir_.path()));
    OpenRunLog(place_.logTarget);
    ASSERT_NE(place_.logTarget.load(), nullptr);
    place_.programDir = W(game_.path());
    package_ = work_.File("pkg");
    std::filesystem::create_directories(package_);
  }
  void TearDown() override { CloseRunLog(place_.logTarget); }

  std::string Logged() const {
    const std::string text = ReadFile(logDir_.File("run.log"));
    return text.substr(text.find('\n') + 1);
  }

  void Put(const std::string& relative, const std::string& bytes) {
    const std::string path = package_ + "/" + relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFile(path, bytes);
  }

  bool Install(bool isTre) {
    return InstallUpdateFiles(place_.Target(), W(package_), W(package_), isTre,
                              [this](float percent) { progress_.push_back(percent); });
  }

  // Everything in `dir` (temporary copies left behind would show here).
  static std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir logDir_, game_, work_;
  InstallPlace place_;
  std::string package_;
  std::vector<float> progress_;
};

TEST_F(InstallationTest, CopiesFilesOverInstalledOnesAndCountsProgress) {
  WriteFile(game_.File("a.txt"), "old a, much longer than the new one");
  std::filesystem::create_directories(game_.File("Data"));
  WriteFile(game_.File("Data/keep.txt"), "kept");
  Put("a.txt", "new a");
  Put("Data/B.txt", "bbbbbbbbbb");
  Put("oldlogin.dat", "ordinary");
  place_.installTotalBytes = 5 + 10 + 8;
  ASSERT_TRUE(Install(false));
  EXPECT_EQ(ReadFile(game_.File("a.txt")), "new a");
  EXPECT_EQ(ReadFile(game_.File("Data/B.txt")), "bbbbbbbbbb");
  EXPECT_EQ(ReadFile(game_.File("Data/keep.txt")), "kept");
  EXPECT_EQ(Names(game_.path()), (std::vector<std::string>{"Data", "a.txt", "oldlogin.dat"}));
  EXPECT_EQ(place_.installDoneBytes, 23u);
  EXPECT_EQ(progress_.size(), 3u);
  EXPECT_NE(
      Logged().find("):process file is " + W(package_).Lower().utf8_string() + "/data/b.txt!\n"),
      std::string::npos)
      << Logged();
}

TEST_F(InstallationTest, UpdMergesIndexFilesAndNeverCopiesLoginDatOrDelLst) {
  std::filesystem::create_directories(game_.File("Data"));
  WriteFile(game_.File("Data/Login.DAT"), "AAAA");
  WriteFile(game_.File("Data/Login.DAT.I"), Index({{0, 4}}, false));
  WriteFile(game_.File("map.i"), Index({{0, 9}}, false));
  Put("Data/Login.DAT", "zz");
  Put("Data/Login.DAT.I", Index({{0, 2, 0}}, true));
  Put("map.i", Index({{0, 3, 0}}, true));
  Put("del.lst", "");
  place_.installTotalBytes = 1000;
  ASSERT_TRUE(Install(false)) << Logged();
  EXPECT_EQ(ReadFile(game_.File("Data/Login.DAT")), "AAAAzz");
  const std::string mapIndex = ReadFile(game_.File("map.i"));
  ASSERT_EQ(mapIndex.size(), 156u);
  EXPECT_EQ(mapIndex.substr(136, 4), "\xFF\xFF\xFF\xFF");
  EXPECT_FALSE(PathExists(game_.File("del.lst")));
  EXPECT_FALSE(PathExists(game_.File("Data/login.dat.i")));
  EXPECT_EQ(progress_.size(), 4u);  // every file counted once
}

TEST_F(InstallationTest, TreCopiesIndexFilesButStillNotLoginDatOrDelLst) {
  WriteFile(game_.File("login.dat"), "installed");
  Put("login.dat.i", "index one");
  Put("other.i", "index two");
  Put("login.dat", "never");
  Put("del.lst", "login.dat");
  ASSERT_TRUE(Install(true));
  EXPECT_EQ(ReadFile(game_.File("login.dat.i")), "index one");
  EXPECT_EQ(ReadFile(game_.File("other.i")), "index two");
  // del.lst was carried out, not copied; login.dat never came.
  EXPECT_FALSE(PathExists(game_.File("login.dat")));
  EXPECT_FALSE(PathExists(game_.File("del.lst")));
}

TEST_F(InstallationTest, DirectoriesWithoutCounterpartOrEmptyAreCopiedWhole) {
  Put("fresh/del.lst", "x");
  Put("fresh/deeper/t.i", "copied as is");
  std::filesystem::create_directories(package_ + "/empty");
  std::filesystem::create_directories(package_ + "/emptyToo");
  std::filesystem::create_directories(game_.File("emptyToo/inside"));
  ASSERT_TRUE(Install(false));
  EXPECT_EQ(ReadFile(game_.File("fresh/del.lst")), "x");
  EXPECT_EQ(ReadFile(game_.File("fresh/deeper/t.i")), "copied as is");
  EXPECT_TRUE(std::filesystem::is_directory(game_.File("emptyToo/inside")));
  // A directory copied whole counts like a missing file: 1 and an error line.
  EXPECT_EQ(place_.installDoneBytes, 3u);
  EXPECT_NE(Logged().find("): pathList.xml " + package_ + "/fresh error in update server"),
            std::string::npos);
}

TEST_F(InstallationTest, DeleteListDeletesListedFilesOnlyInsideTheProgramDirectory) {
  std::filesystem::create_directories(game_.File("sub/dir"));
  WriteFile(game_.File("one.txt"), "1");
  WriteFile(game_.File("two.txt"), "2");
  WriteFile(game_.File("sub/three.txt"), "3");
  WriteFile(game_.File("sub/dir/x"), "x");
  WriteFile(work_.File("outside.txt"), "must stay");
  const std::string outside = work_.File("outside.txt");
  Put("del.lst", "one.txt two.txt\r\n\tmissing.txt sub\\three.txt sub/dir\n../" +
                     std::filesystem::path(work_.path()).parent_path().filename().string() +
                     "/outside.txt " + outside + " sub/../one.txt " + std::string(300, 'l'));
  ASSERT_TRUE(Install(false));
  for (const char* name : {"one.txt", "two.txt", "sub/three.txt"})
    EXPECT_FALSE(PathExists(game_.File(name))) << name;
  EXPECT_TRUE(PathExists(game_.File("sub/dir/x")));  // a directory is not deleted
  EXPECT_EQ(ReadFile(outside), "must stay");
  EXPECT_NE(Logged().find("del.lst entry " + outside + " is outside the program directory"),
            std::string::npos)
      << Logged();
}

// A package made on Windows finds the installed files and directories in
// any letter case; the installed names stay, and of two installed names
// that differ only in case the first in byte order is taken, with a line.
TEST_F(InstallationTest, WindowsMadeNamesFindTheInstalledFilesInAnyCase) {
  const struct {
    const char* path;
    std::string installed;
  } before[] = {{"data/login.dat", "AAAA"},
                {"data/login.dat.i", Index({{0, 4}}, false)},
                {"data/map.i", Index({{0, 9}}, false)},
                {"old.txt", "old"},
                {"data/sub/gone.bin", "gone"},
                {"Sound/a.wav", "a"},
                {"Twin.txt", "upper"},
                {"twin.txt", "lower"}};
  for (const auto& file : before) {
    std::filesystem::create_directories(std::filesystem::path(game_.File(file.path)).parent_path());
    WriteFile(game_.File(file.path), file.installed);
  }
  Put("Data/Login.DAT", "zz");
  Put("Data/Login.DAT.I", Index({{0, 2, 5}}, true));  // a new record
  Put("DATA/MAP.I", Index({{0, 3, 0}}, true));
  Put("DEL.LST", "OLD.TXT Data\\SUB\\Gone.BIN");
  Put("SOUND/B.wav", "b");
  Put("TWIN.TXT", "new");
  ASSERT_TRUE(Install(false)) << Logged();
  const struct {
    const char* path;
    std::string contents;  // "" for a file that must be gone
  } after[] = {{"data/login.dat", "AAAAzz"}, {"Sound/a.wav", "a"},  {"Sound/B.wav", "b"},
               {"Twin.txt", "new"},          {"twin.txt", "lower"}, {"old.txt", ""},
               {"data/sub/gone.bin", ""}};
  for (const auto& file : after)
    EXPECT_EQ(ReadFile(game_.File(file.path)), file.contents) << file.path;
  EXPECT_EQ(ReadFile(game_.File("data/login.dat.i")).size(), 136u + 2 * 20u);
  EXPECT_EQ(ReadFile(game_.File("data/map.i")).substr(136, 4), "\xFF\xFF\xFF\xFF");
  EXPECT_EQ(Names(game_.path()),
            (std::vector<std::string>{"Sound", "Twin.txt", "data", "twin.txt"}));
  EXPECT_NE(Logged().find("TWIN.TXT: installed names differ only in letter case, Twin.txt taken"),
            std::string::npos)
      << Logged();
}

// Packages can neither replace nor delete the launcher's own records.
TEST_F(InstallationTest, LauncherRecordsAreNeitherReplacedNorDeleted) {
  // (The ledger of temporaries is the installation's own: it is not there
  // before, and goes when the installation is done.)
  const std::vector<std::string> records = {"version.ini", "update.applied", "run.log"};
  for (const std::string& record : records) WriteFile(game_.File(record), "own");
  Put("Version.INI", "from the package");
  Put("UPDATE.APPLIED", "from the package");
  Put("update.temporaries", "from the package");
  Put("del.lst", "run.log ./Update.Applied VERSION.INI .\\update.temporaries");
  ASSERT_TRUE(Install(false)) << Logged();
  for (const std::string& record : records)
    EXPECT_EQ(ReadFile(game_.File(record)), "own") << record;
  EXPECT_FALSE(PathExists(game_.File("update.temporaries")));
  for (const char* word : {"run.log", "./Update.Applied", "VERSION.INI"}) {
    EXPECT_NE(Logged().find(std::string("del.lst entry ") + word + " names a launcher record"),
              std::string::npos)
        << word;
  }
  EXPECT_NE(Logged().find("/Version.INI names a launcher record, skipped"), std::string::npos);
}

// A del.lst word of any length is never held in memory whole.
TEST_F(InstallationTest, HugeDeleteListWordTakesNoMemory) {
  constexpr off_t kWord = 64 << 20;
  WriteFile(game_.File("kept.txt"), "kept");
  Put("del.lst", "");
  ASSERT_EQ(truncate((package_ + "/del.lst").c_str(), kWord), 0);  // one word of NUL bytes
  std::ofstream(package_ + "/del.lst", std::ios::app) << " kept.txt";
  struct rusage before {
  }, after{};
  getrusage(RUSAGE_SELF, &before);
  ASSERT_TRUE(Install(false));
  getrusage(RUSAGE_SELF, &after);
  EXPECT_FALSE(PathExists(game_.File("kept.txt")));  // the list is read on after it
  EXPECT_LT((after.ru_maxrss - before.ru_maxrss) * 1024, kWord / 4);
}

// An entry that cannot be installed, or a shut-down during the walk, leaves
// every installed file as it was and no temporary copy behind.
// What a merge appended to login.dat before the failure is taken back.
TEST_F(InstallationTest, FailureOrShutDownDuringTheWalkInstallsNothing) {
  const std::string loginIndex = Index({{0, 4}}, false);
  for (const bool shutDown : {false, true}) {
    WriteFile(game_.File("a.txt"), "old a");
    WriteFile(game_.File("locked.txt"), "old");
    WriteFile(game_.File("login.dat"), "AAAA");
    WriteFile(game_.File("login.dat.i"), loginIndex);
    chmod(game_.File("locked.txt").c_str(), shutDown ? 0644 : 0444);
    Put("a.txt", "new a");
    Put("locked.txt", "new");
    Put("login.dat", "zz");
    Put("login.dat.i", Index({{0, 2, 0}}, true));
    Put("fresh/new.txt", "in a new directory");
    if (shutDown) RequestWorkerStop();
    EXPECT_FALSE(Install(false)) << shutDown;
    ResetWorkerStop();
    EXPECT_EQ(ReadFile(game_.File("a.txt")), "old a") << shutDown;
    EXPECT_EQ(ReadFile(game_.File("locked.txt")), "old") << shutDown;
    EXPECT_EQ(ReadFile(game_.File("login.dat")), "AAAA") << shutDown;
    EXPECT_EQ(ReadFile(game_.File("login.dat.i")), loginIndex) << shutDown;
    EXPECT_EQ(Names(game_.path()),
              (std::vector<std::string>{"a.txt", "locked.txt", "login.dat", "login.dat.i"}));
  }
}

// A tmpfs of its own: a filesystem the package's files cannot be linked to.
class TmpfsMount {
 public:
  TmpfsMount() { mounted_ = mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=4m") == 0; }
  ~TmpfsMount() {
    if (mounted_) umount2(dir_.path().c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  const std::string& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  bool mounted_ = false;
};

bool SetImmutable(const std::string& path, bool immutable) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) close(fd);
  return ok;
}

// Unpacked and installed, each file is whole with its mode (a replaced file
// keeps the installed one's, a new one takes its entry's), whether it was
// linked from the package (same filesystem) or copied, and stays so when
// the package is unpacked again or its directory deleted. login.dat is
// copied even where it could be linked: later merges append to it.
TEST_F(InstallationTest, InstalledFilesAreWholeWithTheirModesLinkedOrCopied) {
  const mode_t umaskBefore = umask(022);
  TmpfsMount tmpfs;
  struct Case {
    const char* name;
    std::string programDir;
    bool linked;
    bool refused;  // orvo.exe's link fails: the file is immutable
  };
  TempDir refusing;
  for (const Case& c : {Case{"same filesystem", game_.path(), true, false},
                        Case{"link refused", refusing.path(), true, true},
                        Case{"other filesystem", tmpfs.path(), false, false}}) {
    SCOPED_TRACE(c.name);
    if (!tmpfs.mounted() && !c.linked) {
      std::cout << "[  SKIPPED ] no tmpfs can be mounted here: the copy fallback is not run\n";
      continue;
    }
    place_.programDir = W(c.programDir);
    const std::string stem = work_.File(std::string("pkg-") + (c.linked ? "a" : "b"));
    WriteFile(c.programDir + "orvo.exe", "old game");
    chmod((c.programDir + "orvo.exe").c_str(), 0755);
    const auto unpack = [&](const std::string& version) {
      ASSERT_TRUE(
          WriteZipArchive(stem + ".tre", {UnixEntry("orvo.exe", version + " game", 0100644),
                                          UnixEntry("map.i", version + " index", 0100640),
                                          UnixEntry("tools/login.dat", version + " data", 0100640),
                                          UnixEntry("tools/run.sh", version + " tool", 0100750),
                                          UnixEntry("tools/all.sh", version + " all", 0100777)}));
      ASSERT_TRUE(UnzipPackage(W(stem), true, nullptr));
    };
    unpack("new");
    if (c.refused && !SetImmutable(stem + "/orvo.exe", true)) {
      std::cout << "[  SKIPPED ] files cannot be made immutable here: a refused link is not run\n";
      continue;
    }
    const bool installed = InstallUpdateFiles(place_.Target(), W(stem), W(stem), true, nullptr);
    if (c.refused) SetImmutable(stem + "/orvo.exe", false);
    ASSERT_TRUE(installed);

    struct Expected {
      const char* file;
      const char* contents;
      unsigned mode;
      bool linked;
    };
    // Within the umask (022 here): an entry marked 0777 is not installed
    // writable by everyone.
    const Expected expected[] = {{"orvo.exe", "new game", 0755, c.linked && !c.refused},
                                 {"map.i", "new index", 0640, c.linked},
                                 {"tools/login.dat", "new data", 0640, false},
                                 {"tools/run.sh", "new tool", 0750, c.linked},
                                 {"tools/all.sh", "new all", 0755, c.linked}};
    const auto check = [&](const char* when, bool packageThere) {
      for (const Expected& e : expected) {
        SCOPED_TRACE(std::string(e.file) + " " + when);
        const std::string installed = c.programDir + e.file;
        struct stat info {};
        ASSERT_EQ(stat(installed.c_str(), &info), 0);
        EXPECT_EQ(ReadFile(installed), e.contents);
        EXPECT_EQ(info.st_mode & 07777, e.mode);
        EXPECT_EQ(info.st_nlink, packageThere && e.linked ? 2u : 1u);
      }
    };
    check("installed", true);
    EXPECT_EQ(Names(c.programDir), (std::vector<std::string>{"map.i", "orvo.exe", "tools"}));
    unpack("newer");
    check("unpacked again", false);
    ASSERT_TRUE(DeleteDirectory(W(stem)));
    check("package deleted", false);
  }
  umask(umaskBefore);
}

TEST_F(InstallationTest, StartUpRemovesOnlyTheTemporariesAKilledRunNoted) {
  std::filesystem::create_directories(game_.File("data/sub"));
  // What a killed run left: temporaries it created and noted.
  std::vector<std::string> noted;
  for (const auto& [target, suffix] :
       {std::pair<const char*, const char*>{"orvo.exe", kInstallTemporarySuffix},
        {"data/sub/map.i", kInstallTemporarySuffix},
        {"data/a.bin", kDownloadTemporarySuffix}}) {
    std::string path;
    const int fd = CreateNotedTemporary(game_.path(), game_.File(target), suffix, path);
    ASSERT_GE(fd, 0) << target;
    close(fd);
    noted.push_back(path);
  }
  // And a package's file linked in, which keeps its own name.
  WriteFile(work_.File("unpacked.bin"), "package");
  std::string linked;
  ASSERT_TRUE(LinkNotedTemporary(game_.path(), work_.File("unpacked.bin"), game_.File("data/u.bin"),
                                 kInstallTemporarySuffix, linked));
  noted.push_back(linked);
  // The game's own files, however they are called, stay.
  const std::vector<std::string> own = {"orvo.exe.install.part", "data/a.bin.download",
                                        "data/b.bin.AbCdEf.download", "data/keep.bin"};
  for (const std::string& name : own) WriteFile(game_.File(name), "own");
  // A damaged ledger entry naming a game file does not remove it, nor does
  // one naming a file outside the program directory (a ledger copied with
  // its program directory, or planted), however it looks.
  const std::vector<std::string> outside = {
      work_.File("a.bin.AbCdEf.download"),
      game_.File("../" + std::filesystem::path(work_.path()).parent_path().filename().string() +
                 "/b.bin.AbCdEf.download")};
  for (const std::string& path : outside) WriteFile(path, "elsewhere");
  {
    std::ofstream ledger(game_.File(kTemporaryLedgerFile), std::ios::app | std::ios::binary);
    ledger << game_.File("data/keep.bin") << '\0' << game_.File("data/sub") << '\0' << outside[0]
           << '\0' << outside[1] << '\0' << game_.File("data/b.bin.Ab");
  }
  RemoveNotedTemporaries(game_.path());
  for (const std::string& path : noted) EXPECT_FALSE(PathExists(path)) << path;
  for (const std::string& name : own) EXPECT_EQ(ReadFile(game_.File(name)), "own") << name;
  EXPECT_TRUE(std::filesystem::is_directory(game_.File("data/sub")));
  EXPECT_FALSE(PathExists(game_.File(kTemporaryLedgerFile)));
  EXPECT_EQ(ReadFile(work_.File("unpacked.bin")), "package");
  for (const std::string& path : outside) EXPECT_EQ(ReadFile(path), "elsewhere") << path;

  // A ledger that is a link is neither read nor written through.
  const std::string planted = work_.File("planted");
  WriteFile(planted, game_.File("data/keep.bin") + '\0');
  ASSERT_EQ(symlink(planted.c_str(), game_.File(kTemporaryLedgerFile).c_str()), 0);
  std::string path;
  EXPECT_LT(CreateNotedTemporary(game_.path(), game_.File("x"), kInstallTemporarySuffix, path), 0);
  RemoveNotedTemporaries(game_.path());
  EXPECT_EQ(ReadFile(planted), game_.File("data/keep.bin") + '\0');
}

TEST_F(InstallationTest, GameFilesNamedLikeStagedCopiesAreKept) {
  WriteFile(game_.File("orvo.exe"), "old game");
  WriteFile(game_.File("orvo.exe.install.part"), "own");
  Put("orvo.exe", "new game");
  // A name as long as a directory entry may be still has room for its copy.
  const std::string longest(NAME_MAX, 'n');
  Put(longest, "long");
  ASSERT_TRUE(Install(false));
  EXPECT_EQ(ReadFile(game_.File("orvo.exe")), "new game");
  EXPECT_EQ(ReadFile(game_.File("orvo.exe.install.part")), "own");
  EXPECT_EQ(ReadFile(game_.File(longest)), "long");
  EXPECT_EQ(Names(game_.path()),
            (std::vector<std::string>{longest, "orvo.exe", "orvo.exe.install.part"}));
}

// A package installed again for the same version (its set is applied
// again) does not merge a second time, also after later packages merged
// into the same index; a different package does. A record never vouches for
// an index changed behind the launcher's back (restored from a backup),
// and is never written through a link.
TEST_F(InstallationTest, MergeDoneForAPackageIsNotRepeated) {
  const std::string installed = Index({{0, 4}}, false);
  const struct {
    const char* name;
    std::vector<const char*> packages;  // installed in this order; "restore" puts the index back
    size_t records;
  } cases[] = {{"again", {"fp-1", "fp-1"}, 2},
               {"another package", {"fp-1", "fp-2"}, 3},
               {"after a later package", {"fp-1", "fp-2", "fp-1", "fp-2"}, 3},
               {"restored from a backup", {"fp-1", "restore", "fp-1"}, 2}};
  Put("other.i", Index({{0, 2, 99}}, true));  // target 99: a new record
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(game_.File("other.i"), installed);
    ForgetApplied(place_.programDir);
    for (const char* fingerprint : c.packages) {
      if (std::string(fingerprint) == "restore") {
        WriteFile(game_.File("other.i"), installed);
        continue;
      }
      ASSERT_TRUE(InstallUpdateFiles(place_.Target(), W(package_), W(package_), false, nullptr,
                                     {"1.0", fingerprint}))
          << Logged();
    }
    EXPECT_EQ(ReadFile(game_.File("other.i")).size(), 136u + 20u * c.records);
  }
  ForgetApplied(place_.programDir);
  const std::string planted = work_.File("planted");
  WriteFile(planted, "");
  ASSERT_EQ(symlink(planted.c_str(), game_.File(kAppliedPackagesFile).c_str()), 0);
  EXPECT_FALSE(InstallUpdateFiles(place_.Target(), W(package_), W(package_), false, nullptr,
                                  {"1.0", "fp-3"}));
  EXPECT_EQ(ReadFile(planted), "");
}

// A kill at any moment of an installation, in the walk or in the middle of
// its commit, leaves each index old or merged whole; the next start merges
// what is missing once. The commit is caught inside its del.lst step, made
// a pipe that the test holds.
TEST_F(InstallationTest, IndexMergeKilledAtAnyMomentIsDoneOnceByTheNextStart) {
  const std::string before = Index({{0, 4}}, false);
  for (const bool inCommit : {false, true}) {
    SCOPED_TRACE(inCommit ? "in the commit" : "in the walk");
    std::filesystem::remove_all(package_);
    std::filesystem::create_directories(package_);
    for (const char* index : {"aa.i", "zz.i"}) {
      WriteFile(game_.File(index), before);
      Put(index, Index({{0, 2, 99}}, true));
    }
    Put("x.bin", "x");
    const std::string list = package_ + "/del.lst";
    ForgetApplied(place_.programDir);
    if (inCommit) {
      ASSERT_EQ(mkfifo(list.c_str(), 0600), 0);
    } else {
      Put("del.lst", "");
    }

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      InstallPlace installer;  // no run log in the child
      installer.programDir = place_.programDir;
      int counted = 0;
      InstallUpdateFiles(installer.Target(), W(package_), W(package_), false,
                         [&](float) {
                           if (inCommit || ++counted < 3) return;
                           const char byte = 1;
                           if (write(ready[1], &byte, 1) != 1) std::_Exit(2);
                           for (;;) pause();
                         },
                         {"1.0", "fp-1"});
      std::_Exit(3);
    }
    close(ready[1]);
    int writer = -1;
    if (inCommit) {
      // Open only once the commit reads the list; held open, it blocks there.
      testing_support::WaitUntil([&] {
        writer = open(list.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        return writer >= 0;
      });
      EXPECT_GE(writer, 0);
    } else {
      pollfd signal{ready[0], POLLIN, 0};
      EXPECT_EQ(poll(&signal, 1, 10000), 1);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    if (writer >= 0) close(writer);
    close(ready[0]);
    for (const char* index : {"aa.i", "zz.i"}) {
      const size_t size = ReadFile(game_.File(index)).size();
      EXPECT_TRUE(size == 156u || size == 176u) << index << " " << size;
    }

    // Started again: the leftovers go, and each index is merged whole once.
    RemoveNotedTemporaries(game_.path());
    std::filesystem::remove(list);
    Put("del.lst", "");
    ASSERT_TRUE(InstallUpdateFiles(place_.Target(), W(package_), W(package_), false, nullptr,
                                   {"1.0", "fp-1"}))
        << Logged();
    for (const char* index : {"aa.i", "zz.i"}) {
      EXPECT_EQ(ReadFile(game_.File(index)).size(), 176u) << index;
    }
    EXPECT_TRUE(testing_support::NamesEndingIn(game_.path(), kInstallTemporarySuffix).empty());
  }
}

TEST_F(InstallationTest, FailedMergeStopsTheInstallation) {
  WriteFile(game_.File("login.dat"), "AAAA");  // installed data without its index
  Put("login.dat.i", Index({}, true));
  Put("zz/later.txt", "staged, never placed");
  std::filesystem::create_directories(game_.File("zz"));
  EXPECT_FALSE(Install(false));
  EXPECT_NE(Logged().find("login.dat.i file not exsited "), std::string::npos);
  // Whatever the failed commit had not put in place is gone.
  for (const std::string& name : Names(game_.File("zz"))) EXPECT_EQ(name, "later.txt");
}

// An installation that fails says why ("@g" stands for the program
// directory, "@p" for the package's); a failed merge's own line is
// followed by its cause as well.
TEST_F(InstallationTest, FailedInstallationsSayWhy) {
  const struct {
    const char* name;
    std::function<void()> prepare;
    std::string cause;
  } cases[] = {
      {"read-only installed file",
       [this] {
         WriteFile(game_.File("a.txt"), "old");
         chmod(game_.File("a.txt").c_str(), 0444);
         Put("a.txt", "new");
       },
       "@g/a.txt: Permission denied"},
      {"directory at a file's place",
       [this] {
         std::filesystem::create_directories(game_.File("d/inside"));
         Put("d", "a file now");
       },
       "@g/d: Is a directory"},
      {"file at a directory's place",
       [this] {
         WriteFile(game_.File("sub"), "a file");
         Put("sub/x.txt", "x");
       },
       "cannot make the directory @g/sub: Not a directory"},
      {"index too short to merge",
       [this] {
         WriteFile(game_.File("x.i"), Index({{0, 4}}, false));
         Put("x.i", "short");
       },
       "merging @p/x.i: @p/x.i is shorter than the index header of 136 bytes"},
      {"login data without its index",
       [this] {
         WriteFile(game_.File("login.dat"), "AAAA");
         Put("login.dat.i", Index({}, true));
       },
       "merging @p/login.dat.i: @g/login.dat.i: No such file or directory"},
      {"shut-down",
       [this] {
         Put("a.txt", "new");
         RequestWorkerStop();
       },
       "stopped: the launcher is ending"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& dir : {game_.path(), package_}) {
      std::filesystem::remove_all(dir);
      std::filesystem::create_directories(dir);
    }
    c.prepare();
    const platform::Status installed =
        InstallPackage(place_.Target(), W(package_), W(package_), false, nullptr);
    ResetWorkerStop();
    ASSERT_FALSE(installed);
    std::string expected = c.cause;
    const std::string game = game_.path().substr(0, game_.path().find_last_not_of('/') + 1);
    for (const auto& [mark, dir] : {std::pair{"@g", game}, std::pair{"@p", package_}}) {
      for (size_t at; (at = expected.find(mark)) != std::string::npos;)
        expected.replace(at, 2, dir);
    }
    EXPECT_EQ(installed.error().message, expected);
  }
  // The merge's own line, then its cause under the same number.
  const std::string log = Logged();
  const size_t line = log.find(game_.File("login.dat.i") + " file not exsited \n");
  ASSERT_NE(line, std::string::npos) << log;
  EXPECT_NE(log.find("launcher(2370): cause: " + game_.File("login.dat.i") +
                         ": No such file or directory\n",
                     line),
            std::string::npos)
      << log;
}

TEST_F(InstallationTest, MissingOrEmptyPackageDirectoryInstallsNothing) {
  ASSERT_TRUE(Install(false));
  EXPECT_TRUE(InstallUpdateFiles(place_.Target(), W(work_.File("none")), W(work_.File("none")),
                                 false, nullptr));
  EXPECT_TRUE(Names(game_.path()).empty());
  EXPECT_TRUE(progress_.empty());
}

}  // namespace
