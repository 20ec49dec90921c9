// zw-publish: the control file it writes reads back by the engine's rules, the packed files
// unpack to the components the updater puts in place, and its command line guides the maker.
#include "publish/AptRepository.h"
#include "publish/Publisher.h"
#include "update/IniFile.h"
#include "update/MinisignTestSupport.h"
#include "update/UpdateTestSupport.h"
#include "update/unpack/Unpacking.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class PublishTest : public ::testing::Test {
protected:
    void SetUp() override {
        updtest::WriteFile(Rel("zettelwerk"), QByteArray(50000, 'z') + "program");
        updtest::WriteFile(Rel("zettelwerk.chm"), "help");
        updtest::WriteFile(Rel("notizen.gdb"), "the user's notes");
        updtest::WriteFile(Rel("WUPDATE.LOG"), "log");
        req.ReleaseDirectory = release.path();
        req.Version = "1.0.1";
        req.BaseUrl = "http://127.0.0.1:8080/";
        req.OutputDirectory = out.path();
    }
    QString Rel(const QString& name) const { return release.filePath(name); }
    QString Tree(const QString& name) const { return out.filePath("update/zettelwerk/" + name); }
    static QByteArray Sha(const QString& path) {
        return QCryptographicHash::hash(updtest::ReadFile(path), QCryptographicHash::Sha256).toHex();
    }

    QTemporaryDir release, out;
    TPublishRequest req;
};

} // namespace

TEST_F(PublishTest, CabinetReleaseReadsBackByTheRules) {
    const TPublishResult r = Publish(req);
    ASSERT_TRUE(r.Ok) << r.Error.toStdString();
    EXPECT_EQ(r.Published, (QStringList{"zettelwerk", "zettelwerk.chm"}));
    EXPECT_EQ(r.Skipped, (QStringList{"WUPDATE.LOG", "notizen.gdb"}));
    EXPECT_EQ(r.ControlFile, Tree("zettelwerk.inf"));
    EXPECT_EQ(r.TrustedComment, "version:1.0.1 file:zettelwerk.inf");

    const TIniFile ini(r.ControlFile);
    EXPECT_EQ(ini.ReadString("update", "newversion", ""), "1.0.1");
    EXPECT_EQ(ini.ReadString("update", "localversion", ""), "{APP}/zettelwerk");
    EXPECT_EQ(ini.ReadInteger("application", "appupdate", 0), 1);
    EXPECT_EQ(ini.ReadString("application", "appname", ""), "zettelwerk");
    EXPECT_EQ(ini.ReadString("application", "appcomps", ""),
              "zettelwerk-1.0.1.cab zettelwerk_new zettelwerk.chm_new");
    EXPECT_EQ(ini.ReadInteger("application", "silentrestart", -1), 0);
    ASSERT_EQ(ini.ReadInteger("files", "count", 0), 1);
    EXPECT_EQ(ini.ReadString("file1", "url", ""),
              "http://127.0.0.1:8080/update/zettelwerk/zettelwerk-1.0.1.cab");
    EXPECT_EQ(ini.ReadString("file1", "sha256", ""), Sha(Tree("zettelwerk-1.0.1.cab")));
    EXPECT_EQ(ini.ReadInteger("file1", "filesize", 0), QFileInfo(Tree("zettelwerk-1.0.1.cab")).size());
    EXPECT_EQ(ini.ReadInteger("file1", "compressed", 0), 0) << "the updater unpacks it, not the engine";

    // The cabinet holds the components under the names the updater puts in place.
    QTemporaryDir unpacked;
    ASSERT_EQ(ExtractCabinet(Tree("zettelwerk-1.0.1.cab"), unpacked.path()), 0);
    EXPECT_EQ(QDir(unpacked.path()).entryList(QDir::Files, QDir::Name),
              (QStringList{"zettelwerk.chm_new", "zettelwerk_new"}));
    EXPECT_EQ(updtest::ReadFile(unpacked.filePath("zettelwerk_new")), updtest::ReadFile(Rel("zettelwerk")));
    EXPECT_EQ(updtest::ReadFile(unpacked.filePath("zettelwerk.chm_new")), "help");
    EXPECT_EQ(updtest::ReadFile(Rel("notizen.gdb")), "the user's notes") << "the release stays as it was";
}

TEST_F(PublishTest, SzddReleaseExpandsToTheComponents) {
    req.Pack = TPackKind::Szdd;
    req.SilentRestart = true;
    const TPublishResult r = Publish(req);
    ASSERT_TRUE(r.Ok) << r.Error.toStdString();
    const TIniFile ini(r.ControlFile);
    EXPECT_EQ(ini.ReadString("application", "appcomps", ""), "zettelwerk_new zettelwerk.chm_new");
    EXPECT_EQ(ini.ReadInteger("application", "silentrestart", 0), 1);
    ASSERT_EQ(ini.ReadInteger("files", "count", 0), 2);
    for (int i = 1; i <= 2; ++i) {
        const QString sec = "file" + QString::number(i);
        const QString name = ini.ReadString(sec, "url", "").section('/', -1);
        EXPECT_EQ(ini.ReadString(sec, "sha256", ""), Sha(Tree(name)));
        EXPECT_EQ(ini.ReadInteger(sec, "compressed", 0), 1);
        ASSERT_TRUE(LzExpandFile(Tree(name)));
    }
    EXPECT_EQ(updtest::ReadFile(Tree("zettelwerk_new")), updtest::ReadFile(Rel("zettelwerk")));
    EXPECT_EQ(updtest::ReadFile(Tree("zettelwerk.chm_new")), "help");
}

TEST_F(PublishTest, UnusableRequestsAreRefused) {
    for (const char* v : {"", "1.0.1.2.3", "1,0", "x", "1.70000", "1.0 beta"}) {
        TPublishRequest bad = req;
        bad.Version = v;
        EXPECT_FALSE(Publish(bad).Ok) << v;
    }
    TPublishRequest bad = req;
    bad.BaseUrl = "ftp://host";
    EXPECT_FALSE(Publish(bad).Ok);
    bad = req;
    bad.Program = "missing";
    EXPECT_FALSE(Publish(bad).Ok);
    bad = req;
    bad.Description = "two\nlines";
    EXPECT_FALSE(Publish(bad).Ok);
    updtest::WriteFile(Rel("odd name"), "x");
    const TPublishResult blank = Publish(req);
    EXPECT_FALSE(blank.Ok);
    EXPECT_TRUE(blank.Error.contains("odd name"));
    EXPECT_FALSE(QFileInfo::exists(Tree("zettelwerk.inf")));
}

TEST_F(PublishTest, CommandLineGuidesTheMakerAndSignsWithMinisign) {
    QProcess p;
    p.start(ZW_PUBLISH, {"--help"});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (const char* option : {"--release", "--version", "--base-url", "--out", "--pack", "--sign"})
        EXPECT_TRUE(help.contains(option)) << option;

    p.start(ZW_PUBLISH, {"--release", release.path()});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 2);

    p.start(ZW_PUBLISH,
            {"-r", release.path(), "-v", "1.0.1", "-u", "http://127.0.0.1:8080", "-o", out.path()});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString said = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_TRUE(
        said.contains("minisign -S -m " + Tree("zettelwerk.inf") + " -t 'version:1.0.1 file:zettelwerk.inf'"))
        << said.toStdString();

    if (!updtest::HaveMinisign())
        GTEST_SKIP() << "minisign is not installed (scripts/setup.sh installs it)";
    updtest::TMinisignKey key;
    ASSERT_TRUE(key.Ok());
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(ZW_PUBLISH, {"-r", release.path(), "-v", "1.0.2", "-u", "http://127.0.0.1:8080", "-o", out.path(),
                         "--sign", key.SecretKeyFile()});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    // The minisign command itself accepts the signature and shows the version.
    QProcess verify;
    verify.start("minisign", {"-V", "-p", key.PublicKeyFile(), "-m", Tree("zettelwerk.inf")});
    ASSERT_TRUE(verify.waitForFinished(30000));
    EXPECT_EQ(verify.exitCode(), 0);
    EXPECT_TRUE(
        verify.readAllStandardOutput().contains("Trusted comment: version:1.0.2 file:zettelwerk.inf"));
}

namespace {

// A Debian package of the given version and contents, built by dpkg-deb.
QString MakeDeb(const QTemporaryDir& dir, const QString& version, const QByteArray& program) {
    const QString root = dir.filePath("root-" + version + QString::number(program.size()));
    updtest::WriteFile(root + "/DEBIAN/control",
                       ("Package: zettelwerk\nVersion: " + version +
                        "\nArchitecture: amd64\nMaintainer: Z <z@zettelwerk.example>\n"
                        "Description: notes\n notes\n")
                           .toUtf8());
    updtest::WriteFile(root + "/usr/bin/zettelwerk", program);
    const QString deb = root + ".deb";
    QProcess::execute("dpkg-deb", {"--root-owner-group", "-b", root, deb});
    return deb;
}

} // namespace

// The package source without a key (signed apart): the pool keeps every release, the index
// names them, and a release once published cannot come back with other bytes.
TEST_F(PublishTest, PackageSourceKeepsEveryReleaseAndRefusesAChangedOne) {
    if (QProcess::execute("apt-ftparchive", {"--version"}) != 0)
        GTEST_SKIP() << "apt-ftparchive is not installed (scripts/setup.sh installs apt-utils)";
    QTemporaryDir debs;
    TAptRequest apt;
    apt.OutputDirectory = out.path();
    apt.Packages = {MakeDeb(debs, "1.0.0", "one")};
    TAptResult r = PublishAptRepository(apt);
    ASSERT_TRUE(r.Ok) << r.Error.toStdString();
    apt.Packages = {MakeDeb(debs, "1.0.1", "two")};
    r = PublishAptRepository(apt);
    ASSERT_TRUE(r.Ok) << r.Error.toStdString();
    EXPECT_EQ(r.Architectures, QStringList{"amd64"});
    const QString pool = out.filePath("apt/pool/main/z/zettelwerk/");
    EXPECT_EQ(r.Added, QStringList{pool + "zettelwerk_1.0.1_amd64.deb"});
    const QByteArray index = updtest::ReadFile(out.filePath("apt/dists/stable/main/binary-amd64/Packages"));
    EXPECT_TRUE(index.contains("Version: 1.0.0\n") && index.contains("Version: 1.0.1\n"))
        << index.toStdString();
    const QByteArray release = updtest::ReadFile(r.Release);
    EXPECT_TRUE(release.contains("Suite: stable\n") && release.contains("main/binary-amd64/Packages.gz"));
    EXPECT_FALSE(QFileInfo::exists(out.filePath("apt/dists/stable/InRelease"))) << "no key, no signature";

    const QByteArray published = updtest::ReadFile(pool + "zettelwerk_1.0.1_amd64.deb");
    apt.Packages = {MakeDeb(debs, "1.0.1", "changed")};
    r = PublishAptRepository(apt);
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Error.contains("never changed")) << r.Error.toStdString();
    EXPECT_EQ(updtest::ReadFile(pool + "zettelwerk_1.0.1_amd64.deb"), published);
    EXPECT_EQ(updtest::ReadFile(out.filePath("apt/dists/stable/main/binary-amd64/Packages")), index);
}
