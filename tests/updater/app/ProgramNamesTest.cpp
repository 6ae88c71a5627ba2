// The real program fetching files whose names a URL path cannot carry as they
// are, from nginx: each arrives byte-exact under its own name.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "NginxServer.h"
#include "RealUpdater.h"
#include "ScopedTempDir.h"
#include "UpdateFixture.h"

namespace {

FixtureFile Changed(const std::string& name, const std::string& kind, size_t size, bool zf7z = false) {
  FixtureFile file;
  file.name = name;
  file.kind = kind;
  file.size = size;
  file.changed = true;
  file.zf7z = zf7z;
  return file;
}

TEST(ProgramNamesTest, NamesWithBlanksSignsAndNonAsciiLettersDownloadByteExact) {
  if (!NginxServer::Available()) GTEST_SKIP() << "nginx is not installed";
  ScopedTempDir root{ScopedTempDir::kAwkwardPrefix};
  ASSERT_TRUE(root.ok());
  FixtureLayout layout;
  std::string error;
  ASSERT_TRUE(ParseFixtureLayout("file Corvane client\n", &layout, &error)) << error;
  // Larger than a block, so that ranged requests carry the names too.
  for (const FixtureFile& file : {Changed("read me.txt", "text", 30000), Changed("caf\xC3\xA9 \xE4\xB8\xAD.dll", "random", 25000),
                                  Changed("take#2.dat", "random", 5000), Changed("100%.txt", "text", 3000),
                                  Changed("why?.dat", "random", 2000), Changed("sub dir/packed one.bin", "random", 12000, true)})
    layout.files.push_back(file);
  const FixtureBinaries binaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, ""};
  FixtureTree tree;
  ASSERT_TRUE(WriteFixture(layout, binaries, root.folder(), &tree, &error)) << error;
  NginxServer nginx;
  ASSERT_TRUE(nginx.Start(tree.server, "127.0.0.7")) << nginx.error();

  RealUpdater updater(tree.oldProgram);
  ASSERT_TRUE(updater.ok());
  // A name the server cannot find fails the run in seconds, not in a minute.
  updater.AddEnvironment("CORVANE_UPDATE_TEST_NO_DATA_MS=10000");
  const std::string address = "127.0.0.7:" + std::to_string(nginx.port());
  // nginx takes no report: the run's reports are dropped, as a server's are that refuses them.
  const int code = updater.Run(UpdaterArgument({{address}, "1.0.0.2", address, "test:"}), 120);
  EndStartedClient(tree, 5000);
  EXPECT_EQ(code, 0) << ReadWholeFile(updater.AppLog());
  for (const FixtureFile& file : layout.files) {
    const std::string installed = tree.oldProgram + file.name;
    EXPECT_TRUE(std::filesystem::is_regular_file(installed)) << file.name;
    EXPECT_TRUE(ReadWholeFile(installed) == ReadWholeFile(tree.newProgram + file.name)) << file.name;
  }
}

}  // namespace
