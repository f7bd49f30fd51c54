// Registration of the control library in a registry of the test's own, through the library's
// exports and through the regsvr tool.
#include <QFile>
#include <QProcess>

#include <map>
#include <tuple>

#include "ornik_fixture.h"

using namespace com;
using orniktest::OrnikLibrary;
using orniktest::TempRegistry;

namespace {

const char* kControlClsid = "{60F42088-0B08-403D-9FAC-59F90A90EFCA}";
const char* kPageClsid = "{77AE3DFB-D49E-49F8-A3D4-BA457A4232AA}";
const char* kLibid = "{96DBB205-C30C-4BE9-8CD1-D0AEE1101546}";

QString Key(const char* prefix, const char* id) {
  return QString::fromLatin1(prefix) + QLatin1Char('\\') + QString::fromLatin1(id);
}

std::map<QString, QString> ValuesOf(const Registry& reg, const QString& key) {
  std::map<QString, QString> out;
  if (const auto* v = reg.ValuesOf(key))
    for (const auto& [name, value] : *v) out[name] = value;
  return out;
}

QString CanonicalLibrary() { return QFileInfo(OrnikLibrary()).canonicalFilePath(); }

// Runs the regsvr tool beside the library: its exit code and what it printed.
std::pair<int, QString> RunRegsvr(const QStringList& args) {
  const QString tool = QFileInfo(OrnikLibrary()).absolutePath() + QStringLiteral("/regsvr");
  EXPECT_TRUE(QFile::exists(tool)) << tool.toStdString();
  QProcess p;
  p.start(tool, args);
  EXPECT_TRUE(p.waitForFinished(30000));
  return std::make_pair(p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()));
}

}  // namespace

TEST(OrnikRegistration, RegisterWritesExactlyTheEntriesAndUnregisterRemovesThem) {
  TempRegistry temp;
  ASSERT_EQ(CallSelfRegistration(OrnikLibrary(), false, nullptr), S_OK);
  const Registry reg = temp.Load();
  const QString lib = CanonicalLibrary();
  const QString ctl = Key("CLSID", kControlClsid);
  const QString page = Key("CLSID", kPageClsid);
  const QString typelib = Key("TypeLib", kLibid) + QStringLiteral("\\1.0");
  const QString dispatch = QStringLiteral("Interface\\{154EEC9F-5D6C-4F2E-9CE4-E36C2C036D12}");
  const QString events = QStringLiteral("Interface\\{96019645-F245-4F61-B362-6DB2B358BBEA}");
  EXPECT_EQ(reg.Keys(), (QStringList{ctl, page, dispatch, events, QStringLiteral("ProgID\\ORNIK.OrnikCtrl.1"),
                                     QStringLiteral("ProgID\\ORNIK.OrnikPropPage.1"), typelib}));

  using V = std::map<QString, QString>;
  EXPECT_EQ(ValuesOf(reg, ctl),
            (V{{QString(), QStringLiteral("Ornik Control")},
               {QStringLiteral("Control"), QString()},
               {QStringLiteral("InprocServer"), lib},
               {QStringLiteral("MiscStatus"), QStringLiteral("131473")},  // 0x20191
               {QStringLiteral("ProgID"), QStringLiteral("ORNIK.OrnikCtrl.1")},
               {QStringLiteral("ThreadingModel"), QStringLiteral("Apartment")},
               {QStringLiteral("ToolboxBitmap"), lib + QStringLiteral(", 1")},
               {QStringLiteral("TypeLib"), QString::fromLatin1(kLibid)},
               {QStringLiteral("Version"), QStringLiteral("1.0")}}));
  EXPECT_EQ(ValuesOf(reg, page), (V{{QString(), QStringLiteral("Ornik Property Page")},
                                    {QStringLiteral("InprocServer"), lib},
                                    {QStringLiteral("ProgID"), QStringLiteral("ORNIK.OrnikPropPage.1")},
                                    {QStringLiteral("ThreadingModel"), QStringLiteral("Apartment")}}));
  EXPECT_EQ(ValuesOf(reg, QStringLiteral("ProgID\\ORNIK.OrnikCtrl.1")),
            (V{{QString(), QStringLiteral("Ornik Control")},
               {QStringLiteral("CLSID"), QString::fromLatin1(kControlClsid)}}));
  EXPECT_EQ(ValuesOf(reg, QStringLiteral("ProgID\\ORNIK.OrnikPropPage.1")),
            (V{{QString(), QStringLiteral("Ornik Property Page")},
               {QStringLiteral("CLSID"), QString::fromLatin1(kPageClsid)}}));
  EXPECT_EQ(ValuesOf(reg, typelib), (V{{QString(), QStringLiteral("ORNIKLib")},
                                       {QStringLiteral("HelpDir"), QFileInfo(lib).absolutePath()},
                                       {QStringLiteral("HelpFile"), QStringLiteral("Ornik.hlp")},
                                       {QStringLiteral("Path"), lib}}));
  EXPECT_EQ(ValuesOf(reg, dispatch), (V{{QString(), QStringLiteral("_DOrnik")},
                                        {QStringLiteral("TypeLib"), QString::fromLatin1(kLibid)},
                                        {QStringLiteral("Version"), QStringLiteral("1.0")}}));
  EXPECT_EQ(ValuesOf(reg, events).at(QString()), QStringLiteral("_DOrnikEvents"));

  // Registering twice changes nothing; unregistering leaves an empty registry.
  ASSERT_EQ(CallSelfRegistration(OrnikLibrary(), false, nullptr), S_OK);
  EXPECT_EQ(temp.Load().Keys().size(), 7);
  ASSERT_EQ(CallSelfRegistration(OrnikLibrary(), true, nullptr), S_OK);
  EXPECT_TRUE(temp.Load().Keys().isEmpty());
}

TEST(OrnikRegistration, UnwritableRegistryFailsWithTheTypeLibraryCode) {
  TempRegistry temp;
  // The registry path is a folder, then a path below a plain file: neither can be written.
  qputenv(kRegistryEnv, QFile::encodeName(temp.Folder()));
  EXPECT_EQ(CallSelfRegistration(OrnikLibrary(), false, nullptr), SELFREG_E_TYPELIB);
  const QString plain = temp.Folder() + QStringLiteral("/plain");
  QFile f(plain);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  qputenv(kRegistryEnv, QFile::encodeName(plain + QStringLiteral("/registry.json")));
  EXPECT_EQ(CallSelfRegistration(OrnikLibrary(), false, nullptr), SELFREG_E_TYPELIB);
  EXPECT_EQ(CallSelfRegistration(OrnikLibrary(), true, nullptr), SELFREG_E_TYPELIB);
}

TEST(OrnikRegistration, UnregisterWithoutTheTypeLibraryFailsAndKeepsTheClasses) {
  TempRegistry temp;
  ASSERT_EQ(CallSelfRegistration(OrnikLibrary(), false, nullptr), S_OK);
  ASSERT_TRUE(Registry::Update(temp.Path(), [](Registry& r) {
    return r.DeleteTree(QStringLiteral("TypeLib"));
  }));
  EXPECT_EQ(CallSelfRegistration(OrnikLibrary(), true, nullptr), SELFREG_E_TYPELIB);
  const Registry reg = temp.Load();
  EXPECT_TRUE(reg.HasKey(Key("CLSID", kControlClsid)));
  EXPECT_TRUE(reg.HasKey(QStringLiteral("ProgID\\ORNIK.OrnikCtrl.1")));
  EXPECT_TRUE(reg.HasKey(Key("CLSID", kPageClsid)));
}

TEST(OrnikRegistration, RegsvrToolReportsTheResultAndExitStatus) {
  TempRegistry temp;
  const auto run = RunRegsvr;
  auto [code, out] = run({OrnikLibrary()});
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(out.contains(QStringLiteral("DllRegisterServer"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("succeeded")));
  EXPECT_TRUE(temp.Load().HasKey(QStringLiteral("ProgID\\ORNIK.OrnikCtrl.1")));

  std::tie(code, out) = run({QStringLiteral("-u"), OrnikLibrary()});
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(temp.Load().Keys().isEmpty());
  std::tie(code, out) = run({QStringLiteral("-u"), OrnikLibrary()});
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(out.contains(QStringLiteral("0x80040200"))) << out.toStdString();
  std::tie(code, out) = run({temp.Folder() + QStringLiteral("/missing.so")});
  EXPECT_EQ(code, 1);
  std::tie(code, out) = run({});
  EXPECT_EQ(code, 2);
}

TEST(OrnikRegistration, ARegistryNamedByALinkIsWrittenWhereTheLinkPoints) {
  TempRegistry temp;
  QTemporaryDir elsewhere;
  const QString kept = elsewhere.filePath(QStringLiteral("registry.json"));
  const QString link = temp.Folder() + QStringLiteral("/link.json");
  ASSERT_TRUE(QFile::link(kept, link));
  qputenv(kRegistryEnv, QFile::encodeName(link));
  // The link names a file not made yet, then one that holds the registration.
  EXPECT_EQ(RunRegsvr({OrnikLibrary()}).first, 0);
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  Registry reg(kept);
  ASSERT_TRUE(reg.Load());
  EXPECT_TRUE(reg.HasKey(QStringLiteral("ProgID\\ORNIK.OrnikCtrl.1")));
  EXPECT_EQ(RunRegsvr({QStringLiteral("-u"), OrnikLibrary()}).first, 0);
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  ASSERT_TRUE(reg.Load());
  EXPECT_TRUE(reg.Keys().isEmpty());
}
