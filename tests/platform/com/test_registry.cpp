// The registry file: keys without regard to case, whole-file writes under a lock, and nothing lost
// when the file cannot be read or written.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <thread>
#include <vector>

#include "com/registry.h"

using namespace com;

TEST(ComRegistry, KeysAndValuesRoundTripIgnoringCase) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sub/reg.json"));
  {
    Registry reg(path);
    ASSERT_TRUE(reg.Load());  // no file yet: an empty registry
    reg.SetValue(QStringLiteral("CLSID\\{A}"), QString(), QStringLiteral("名前"));
    reg.SetValue(QStringLiteral("CLSID\\{A}\\Sub"), QStringLiteral("Path"), QStringLiteral("/x"));
    reg.SetValue(QStringLiteral("CLSID\\{A}X"), QString(), QStringLiteral("sibling"));
    ASSERT_TRUE(reg.Save());
  }
  Registry reg(path);
  ASSERT_TRUE(reg.Load());
  EXPECT_EQ(reg.Value(QStringLiteral("clsid\\{a}")).value_or(QString()), QStringLiteral("名前"));
  EXPECT_EQ(reg.Value(QStringLiteral("CLSID\\{A}\\SUB"), QStringLiteral("path")).value_or(QString()),
            QStringLiteral("/x"));
  EXPECT_FALSE(reg.Value(QStringLiteral("CLSID\\{A}"), QStringLiteral("Path")).has_value());
  EXPECT_EQ(reg.SubKeys(QStringLiteral("CLSID")).size(), 2);
  // Deleting a key takes its sub-keys, not a key that only shares the prefix of its name.
  EXPECT_TRUE(reg.DeleteTree(QStringLiteral("clsid\\{A}")));
  EXPECT_FALSE(reg.HasKey(QStringLiteral("CLSID\\{A}\\Sub")));
  EXPECT_TRUE(reg.HasKey(QStringLiteral("CLSID\\{A}X")));
  EXPECT_FALSE(reg.DeleteTree(QStringLiteral("CLSID\\{A}")));
}

TEST(ComRegistry, UnreadableOrUnwritableFilesLoseNothing) {
  QTemporaryDir dir;
  // A file that is no registry is neither read nor overwritten.
  const QString corrupt = dir.filePath(QStringLiteral("corrupt.json"));
  {
    QFile f(corrupt);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{ not json");
  }
  Registry reg(corrupt);
  EXPECT_FALSE(reg.Load());
  EXPECT_FALSE(Registry::Update(corrupt, [](Registry& r) {
    r.SetValue(QStringLiteral("K"), QString(), QStringLiteral("v"));
    return true;
  }));
  QFile f(corrupt);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("{ not json"));

  // A path under a plain file, or a folder in place of the file, cannot be written.
  const QString underFile = corrupt + QStringLiteral("/reg.json");
  EXPECT_FALSE(Registry::Update(underFile, [](Registry&) { return true; }));
  EXPECT_FALSE(Registry::Update(dir.path(), [](Registry&) { return true; }));
  // An edit that gives up writes nothing.
  const QString fresh = dir.filePath(QStringLiteral("fresh.json"));
  EXPECT_FALSE(Registry::Update(fresh, [](Registry& r) {
    r.SetValue(QStringLiteral("K"), QString(), QStringLiteral("v"));
    return false;
  }));
  EXPECT_FALSE(QFile::exists(fresh));
}

TEST(ComRegistry, ConcurrentWritersAllKeepTheirEntries) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("reg.json"));
  std::vector<std::thread> writers;
  for (int t = 0; t < 6; ++t)
    writers.emplace_back([&, t] {
      for (int i = 0; i < 5; ++i)
        Registry::Update(path, [&](Registry& r) {
          r.SetValue(QStringLiteral("K%1_%2").arg(t).arg(i), QString(), QStringLiteral("v"));
          return true;
        });
    });
  for (auto& w : writers) w.join();
  Registry reg(path);
  ASSERT_TRUE(reg.Load());
  EXPECT_EQ(reg.Keys().size(), 30);
}

TEST(ComRegistry, TypeLibraryAndClassEntriesComeAndGoTogether) {
  QTemporaryDir dir;
  Registry reg(dir.filePath(QStringLiteral("reg.json")));
  const Guid lib = Guid::Parse("{11111111-2222-3333-4444-555555555555}");
  const Guid itf = Guid::Parse("{11111111-2222-3333-4444-666666666666}");
  const Guid other = Guid::Parse("{11111111-2222-3333-4444-777777777777}");
  TypeLibEntry e{lib, QStringLiteral("TestLib"), 1, 0, QStringLiteral("/l.so"), QString(),
                 {{itf, QStringLiteral("_DTest")}}};
  RegisterTypeLib(reg, e);
  // An interface of another library stays when this one goes.
  reg.SetValue(InterfaceKey(other), QStringLiteral("TypeLib"), QStringLiteral("{99999999-2222-3333-4444-555555555555}"));
  reg.SetValue(InterfaceKey(other), QStringLiteral("Version"), QStringLiteral("1.0"));
  EXPECT_FALSE(UnregisterTypeLib(reg, lib, 2, 0));  // not that version
  EXPECT_TRUE(UnregisterTypeLib(reg, lib, 1, 0));
  EXPECT_FALSE(reg.HasKey(InterfaceKey(itf)));
  EXPECT_FALSE(reg.HasKey(QStringLiteral("TypeLib\\") + lib.ToString()));
  EXPECT_TRUE(reg.HasKey(InterfaceKey(other)));
  EXPECT_FALSE(UnregisterTypeLib(reg, lib, 1, 0));

  bool ok = false;
  EXPECT_EQ(Guid::FromString(QStringLiteral(" {11111111-2222-3333-4444-555555555555} "), &ok), lib);
  EXPECT_TRUE(ok);
  Guid::FromString(QStringLiteral("{11111111-2222-3333-4444-55555555555G}"), &ok);
  EXPECT_FALSE(ok);
}
