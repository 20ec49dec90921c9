// Signed updates: minisign files read and verified with libsodium, signed by the real minisign
// command; the update run refusing what its maker did not sign, with nothing changed.
#include "EngineTestSupport.h"
#include "MinisignTestSupport.h"
#include "update/FileTransfer.h"
#include "update/Minisign.h"
#include "update/SzddEncoder.h"
#include "update/UpdateMessages.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace {

QByteArray Sha256(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

// Everything below the directory: relative name -> contents.
QMap<QString, QByteArray> Snapshot(const QString& dir) {
    QMap<QString, QByteArray> files;
    QDir root(dir);
    const QFileInfoList all = root.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& f : all) {
        if (f.isDir()) {
            const QMap<QString, QByteArray> sub = Snapshot(f.filePath());
            for (auto it = sub.begin(); it != sub.end(); ++it)
                files.insert(f.fileName() + "/" + it.key(), it.value());
            files.insert(f.fileName() + "/", QByteArray());
        } else {
            files.insert(f.fileName(), updtest::ReadFile(f.filePath()));
        }
    }
    return files;
}

class MinisignFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!updtest::HaveMinisign())
            GTEST_SKIP() << "minisign is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(key.Ok());
        ASSERT_TRUE(other.Ok());
        message = dir.filePath("zettelwerk.inf");
        updtest::WriteFile(message, "[update]\nnewversion=1.0.1\n");
    }
    QByteArray Read(const QString& path) { return updtest::ReadFile(path); }
    TMinisignPublicKey Key(const updtest::TMinisignKey& k) {
        QString why;
        const auto parsed = ParseMinisignPublicKey(k.PublicKeyText(), &why);
        EXPECT_TRUE(parsed) << why.toStdString();
        return parsed.value_or(TMinisignPublicKey{});
    }

    QTemporaryDir dir;
    updtest::TMinisignKey key, other;
    QString message;
};

} // namespace

TEST_F(MinisignFiles, SignaturesOfTheMinisignCommandVerify) {
    ASSERT_TRUE(key.Sign(message, "version:1.0.1 file:zettelwerk.inf"));
    ASSERT_TRUE(key.Sign(message, "version:1.0.1", dir.filePath("legacy.minisig"), true));
    const TMinisignPublicKey pk = Key(key);
    // The id minisign names in the key's comment.
    EXPECT_TRUE(key.PublicKeyText().startsWith("untrusted comment: minisign public key " +
                                               pk.KeyIdText().toLatin1() + '\n'))
        << key.PublicKeyText().toStdString();

    const auto prehashed = ParseMinisignSignature(Read(message + ".minisig"));
    ASSERT_TRUE(prehashed);
    EXPECT_TRUE(prehashed->Prehashed);
    EXPECT_EQ(prehashed->TrustedComment, "version:1.0.1 file:zettelwerk.inf");
    EXPECT_EQ(VerifyMinisign(pk, *prehashed, Read(message)), TSignatureVerdict::Valid);
    EXPECT_EQ(TrustedCommentVersion(prehashed->TrustedComment), "1.0.1");

    const auto legacy = ParseMinisignSignature(Read(dir.filePath("legacy.minisig")));
    ASSERT_TRUE(legacy);
    EXPECT_FALSE(legacy->Prehashed);
    EXPECT_EQ(VerifyMinisign(pk, *legacy, Read(message)), TSignatureVerdict::Valid);

    // The bare key line reads like the file.
    const QByteArray line = key.PublicKeyText().split('\n').value(1);
    const auto bare = ParseMinisignPublicKey(line);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->Key, pk.Key);
}

TEST_F(MinisignFiles, ChangedBytesOtherKeysAndChangedTrustedCommentsAreRefused) {
    ASSERT_TRUE(key.Sign(message, "version:1.0.1"));
    ASSERT_TRUE(other.Sign(message, "version:1.0.1", dir.filePath("other.minisig")));
    const auto sig = ParseMinisignSignature(Read(message + ".minisig"));
    ASSERT_TRUE(sig);
    const TMinisignPublicKey pk = Key(key);

    QByteArray changed = Read(message);
    changed[changed.size() - 2] = '2';
    EXPECT_EQ(VerifyMinisign(pk, *sig, changed), TSignatureVerdict::BadSignature);
    EXPECT_EQ(VerifyMinisign(pk, *sig, Read(message) + "\n"), TSignatureVerdict::BadSignature);

    const auto foreign = ParseMinisignSignature(Read(dir.filePath("other.minisig")));
    ASSERT_TRUE(foreign);
    EXPECT_EQ(VerifyMinisign(pk, *foreign, Read(message)), TSignatureVerdict::OtherKey);
    // Another key that claims our id: the signature itself does not fit.
    TMinisignSignature claimed = *foreign;
    claimed.KeyId = pk.KeyId;
    EXPECT_EQ(VerifyMinisign(pk, claimed, Read(message)), TSignatureVerdict::BadSignature);

    // A trusted comment edited after signing (a newer version claimed).
    QByteArray text = Read(message + ".minisig");
    text.replace("trusted comment: version:1.0.1", "trusted comment: version:9.0.0");
    const auto edited = ParseMinisignSignature(text);
    ASSERT_TRUE(edited);
    EXPECT_EQ(VerifyMinisign(pk, *edited, Read(message)), TSignatureVerdict::BadTrustedComment);
}

TEST_F(MinisignFiles, MalformedFilesAreRefusedWithAReason) {
    ASSERT_TRUE(key.Sign(message, "version:1.0.1"));
    const QByteArray good = Read(message + ".minisig");
    const QList<QByteArray> lines = good.split('\n');
    auto join = [](QList<QByteArray> l) { return l.join('\n') + '\n'; };
    QList<QByteArray> cases;
    cases << QByteArray() << good.left(good.size() / 2) << join(lines.mid(0, 3)) << good + "extra\n";
    QList<QByteArray> l = lines.mid(0, 4);
    l[0] = "comment: x";
    cases << join(l);
    l = lines.mid(0, 4);
    l[1].chop(4);
    cases << join(l);
    l = lines.mid(0, 4);
    l[1][5] = '*';
    cases << join(l);
    l = lines.mid(0, 4);
    l[2] = "trusted: version:1.0.1";
    cases << join(l);
    l = lines.mid(0, 4);
    l[3] = l[3].left(40);
    cases << join(l);
    l = lines.mid(0, 4);
    l[1] = QByteArray::fromBase64(l[1]).replace(0, 2, "XX").toBase64(); // unknown algorithm
    cases << join(l);
    cases << good + QByteArray(kMaxMinisignFileSize, 'x');
    for (const QByteArray& c : cases) {
        QString why;
        EXPECT_FALSE(ParseMinisignSignature(c, &why)) << c.toStdString();
        EXPECT_FALSE(why.isEmpty());
    }
    // Windows line ends are read too.
    QByteArray crlf = good;
    crlf.replace("\n", "\r\n");
    EXPECT_TRUE(ParseMinisignSignature(crlf));

    for (const QByteArray& k :
         {QByteArray(), QByteArray("untrusted comment: x\n"), QByteArray("RWQ\n"),
          QByteArray("untrusted comment: x\nRWQ=\nRWQ=\n"),
          QByteArray::fromBase64(key.PublicKeyText().split('\n').value(1)).replace(0, 2, "ED").toBase64()}) {
        QString why;
        EXPECT_FALSE(ParseMinisignPublicKey(k, &why)) << k.toStdString();
        EXPECT_FALSE(why.isEmpty());
    }
    EXPECT_EQ(TrustedCommentVersion("timestamp:1\tfile:zettelwerk.inf"), "");
    EXPECT_EQ(TrustedCommentVersion("release\tversion:2.1 file:x"), "2.1");
}

// ------------------------------------------------------------------------------ signed runs

namespace {

class SignedRun : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        if (!updtest::HaveMinisign())
            GTEST_SKIP() << "minisign is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(key.Ok());
        ASSERT_TRUE(other.Ok());
        engine.RequireSignature = true;
        engine.PublicKey = ParseMinisignPublicKey(key.PublicKeyText());
        ASSERT_TRUE(engine.PublicKey);
        engine.InstalledVersion = "1.0.0.0";
        updtest::WriteFile(Work("prog"), "old program");
        updtest::WriteFile(Work("help.chm"), "old help");
    }

    // A file entry for a served file, with its checksum.
    QString Entry(int n, const QString& name, const QByteArray& data, bool withHash = true) {
        Serve(name, data);
        QString s = QString("[file%1]\nurl=%2\n").arg(n).arg(FileUrl(name));
        if (withHash)
            s += "sha256=" + Sha256(data) + "\n";
        return s;
    }
    // Serves the control file and its signature by the given key.
    void ServeSigned(const QString& text, const QString& version = "1.0.1",
                     const updtest::TMinisignKey* by = nullptr) {
        ServeControlFile(text);
        const QString path = server.Root() + "/zettelwerk.inf";
        ASSERT_TRUE((by ? by : &key)->Sign(path, "version:" + version + " file:zettelwerk.inf"));
    }
    QString Release(const QString& files, int count) {
        return QString("[update]\nunconditional=yes\n[application]\nappupdate=1\nappname=prog\n"
                       "appcomps=prog_new help.chm_new\nsilentrestart=1\n"
                       "[action]\nrunbefore=before.sh\n[files]\ncount=%1\n")
                   .arg(count) +
               files;
    }
    // trusted: the control file was verified, so its actions (runbefore) ran; the updater never.
    void ExpectRefused(int msgNo, int reason, bool trusted = false) {
        EXPECT_TRUE(LogNumbers().contains(msgNo)) << LogLines().join('\n').toStdString();
        EXPECT_EQ(engine.RunEnd(), TRunEnd::Refused);
        const auto it = std::find_if(statuses.begin(), statuses.end(),
                                     [](const TStatusRecord& s) { return s.status == um::RefusedStatus; });
        ASSERT_NE(it, statuses.end());
        EXPECT_EQ(it->error, reason);
        EXPECT_EQ(host.terminated, 0);
        EXPECT_EQ(platform.process.started, trusted ? QStringList{"before.sh"} : QStringList())
            << "nothing of an unverified control file was run, and no updater";
    }
    // The program directory as it was before the run (the log aside).
    void ExpectUnchanged(const QMap<QString, QByteArray>& before) {
        QMap<QString, QByteArray> now = Snapshot(work.path());
        now.remove("WUPDATE.LOG");
        QMap<QString, QByteArray> then = before;
        then.remove("WUPDATE.LOG");
        EXPECT_EQ(now.keys(), then.keys());
        EXPECT_EQ(now, then);
    }

    updtest::TMinisignKey key, other;
};

} // namespace

TEST_F(SignedRun, VerifiedReleaseIsDownloadedAndHandedOff) {
    ServeSigned(Release(Entry(1, "prog_new", "new program") + Entry(2, "help.chm_new", "new help"), 2));
    engine.SetUpdaterResourceOverride(SzddCompress("u", 'e'));
    engine.RunUpdate();
    EXPECT_EQ(LogNumbers(),
              (QList<int>{963, 918, 921, 915, 926, 915, 975, 943, 915, 962, 915, 962, 948, 949, 959, 958}));
    EXPECT_EQ(engine.SignedVersion(), "1.0.1");
    EXPECT_EQ(updtest::ReadFile(Work("prog_new")), "new program");
    EXPECT_EQ(updtest::ReadFile(Work("help.chm_new")), "new help");
    EXPECT_EQ(platform.process.started.size(), 2) << "runbefore, then the updater";
    EXPECT_EQ(engine.RunEnd(), TRunEnd::HandedOff);
}

TEST_F(SignedRun, ControlFileAlteredAfterSigningIsRefusedUnread) {
    ServeSigned(Release(Entry(1, "prog_new", "new program"), 1));
    // Someone on the way adds an action of their own.
    QByteArray text = updtest::ReadFile(server.Root() + "/zettelwerk.inf");
    Serve("zettelwerk.inf", text.replace("runbefore=before.sh", "runbefore=evil.sh"));
    const auto before = Snapshot(work.path());
    engine.RunUpdate();
    ExpectRefused(um::InvalidSignature, um::rfBadSignature);
    EXPECT_EQ(LogNumbers(), (QList<int>{963, 918, 921, 915, 926, 915, 927, 949}));
    ExpectUnchanged(before);
}

TEST_F(SignedRun, SignatureOfAnotherKeyIsRefused) {
    ServeSigned(Release(Entry(1, "prog_new", "new program"), 1), "1.0.1", &other);
    const auto before = Snapshot(work.path());
    engine.RunUpdate();
    ExpectRefused(um::SignatureOtherKey, um::rfOtherKey);
    const auto foreign = ParseMinisignPublicKey(other.PublicKeyText());
    EXPECT_TRUE(LogLines().join('\n').contains("signed by another key : " + foreign->KeyIdText()));
    ExpectUnchanged(before);
}

TEST_F(SignedRun, MissingSignatureIsRefusedWithoutAMissingControlFileReport) {
    ServeControlFile(Release(Entry(1, "prog_new", "new program"), 1));
    const auto before = Snapshot(work.path());
    engine.RunUpdate();
    ExpectRefused(um::SignatureMissing, um::rfSignatureMissing);
    EXPECT_EQ(LogNumbers(), (QList<int>{963, 918, 921, 915, 926, 915, 966, 949}));
    EXPECT_FALSE(std::any_of(statuses.begin(), statuses.end(), [](auto& s) { return s.status == 6; }))
        << "the window's 'control file not found' box would name the wrong file";
    ExpectUnchanged(before);
}

TEST_F(SignedRun, MalformedSignatureIsRefused) {
    ServeSigned(Release(Entry(1, "prog_new", "new program"), 1));
    QByteArray sig = updtest::ReadFile(server.Root() + "/zettelwerk.inf.minisig");
    Serve("zettelwerk.inf.minisig", sig.left(sig.size() - 20));
    engine.RunUpdate();
    ExpectRefused(um::SignatureMalformed, um::rfSignatureMalformed);
}

TEST_F(SignedRun, OlderReleaseCorrectlySignedIsRefused) {
    engine.InstalledVersion = "1.0.1.0";
    ServeSigned(Release(Entry(1, "prog_new", "old release"), 1), "1.0.0");
    const auto before = Snapshot(work.path());
    engine.RunUpdate();
    ExpectRefused(um::OlderRelease, um::rfOlderRelease);
    EXPECT_TRUE(LogLines().join('\n').contains("older than the installed version : 1.0.0 < 1.0.1.0"));
    ExpectUnchanged(before);

    // The same release is no downgrade: the control file's own rules decide.
    ServeSigned("[update]\nnewversion=1.0.1\nlocalversion={APP}/prog\n", "1.0.1");
    statuses.clear();
    engine.RunUpdate();
    EXPECT_NE(engine.RunEnd(), TRunEnd::Refused);
}

TEST_F(SignedRun, TrustedCommentWithoutVersionIsRefused) {
    ServeControlFile(Release(Entry(1, "prog_new", "new program"), 1));
    ASSERT_TRUE(key.Sign(server.Root() + "/zettelwerk.inf", "timestamp:1 file:zettelwerk.inf"));
    engine.RunUpdate();
    ExpectRefused(um::SignatureMalformed, um::rfSignatureMalformed);
}

TEST_F(SignedRun, OneAlteredFileLeavesEveryFileAsItWas) {
    // The first file is right; the second was changed after publishing.
    QString files = Entry(1, "prog_new", "new program") + Entry(2, "help.chm_new", "new help");
    ServeSigned(Release(files, 2));
    Serve("help.chm_new", "changed help");
    const auto before = Snapshot(work.path());
    engine.RunUpdate();
    ExpectRefused(um::ChecksumMismatch, um::rfChecksumMismatch, true);
    ExpectUnchanged(before);
    EXPECT_FALSE(LogNumbers().contains(948)) << "no finishing step after a refusal";
}

TEST_F(SignedRun, EntryWithoutChecksumIsRefusedBeforeAnyDownload) {
    ServeSigned(
        Release(Entry(1, "prog_new", "new program") + Entry(2, "help.chm_new", "new help", false), 2));
    const auto before = Snapshot(work.path());
    engine.RunUpdate();
    ExpectRefused(um::ChecksumMissing, um::rfChecksumMissing, true);
    EXPECT_EQ(LogNumbers().count(915), 2) << "control file and signature only";
    ExpectUnchanged(before);
}

TEST_F(SignedRun, TruncatedDownloadIsRefused) {
    const QByteArray data(100000, 'p');
    Serve("prog_new", data);
    ServeSigned(
        Release(QString("[file1]\nurl=%1\nsha256=%2\n").arg(server.Url("/cut/prog_new"), Sha256(data)), 1));
    const auto before = Snapshot(work.path());
    engine.RunUpdate();
    ExpectRefused(um::DownloadIncomplete, um::rfIncomplete, true);
    ExpectUnchanged(before);
}

TEST_F(SignedRun, WithoutPublicKeyTheRunChecksReportsAndInstallsNothing) {
    engine.PublicKey.reset();
    Serve("prog_new", "new program");
    ServeControlFile("[update]\nnewversion=1.0.1\nlocalversion=/dev/zero\n[action]\nrunbefore=before.sh\n"
                     "[files]\ncount=1\n[file1]\nurl=" +
                     FileUrl("prog_new") + "\n");
    const auto before = Snapshot(work.path());
    engine.RunUpdate();
    EXPECT_EQ(LogNumbers(), (QList<int>{963, 918, 921, 915, 926, 929, 970, 949}));
    EXPECT_EQ(engine.RunEnd(), TRunEnd::CheckedOnly);
    EXPECT_EQ(engine.NewVersion(), "1.0.1.0");
    EXPECT_TRUE(platform.process.started.isEmpty());
    EXPECT_TRUE(host.asks.empty());
    ExpectUnchanged(before);

    engine.InstalledVersion = "1.0.1.0";
    engine.RunUpdate();
    EXPECT_EQ(LogNumbers().mid(8), (QList<int>{963, 918, 921, 915, 926, 930, 970, 949}));
}

TEST_F(SignedRun, SzddPackedComponentCountsUnderItsExpandedName) {
    const QByteArray packed = SzddCompress("new program", 'w');
    ServeSigned("[update]\nunconditional=yes\n[application]\nappupdate=1\nappname=prog\nappcomps=prog_new\n"
                "silentrestart=1\n[files]\ncount=1\n" +
                Entry(1, "prog_ne_", packed) + "compressed=1\n");
    engine.SetUpdaterResourceOverride(SzddCompress("u", 'e'));
    engine.RunUpdate();
    EXPECT_EQ(updtest::ReadFile(Work("prog_new")), "new program");
    EXPECT_FALSE(QFileInfo::exists(Work("prog_ne_")));
    EXPECT_TRUE(LogLines().join('\n').contains("Found application component : prog_new"));
    EXPECT_EQ(engine.RunEnd(), TRunEnd::HandedOff);
}

TEST_F(SignedRun, TruncatedControlFileIsRefused) {
    ServeSigned(Release(Entry(1, "prog_new", "new program"), 1));
    engine.URL = server.Url("/cut/zettelwerk.inf");
    engine.RunUpdate();
    ExpectRefused(um::DownloadIncomplete, um::rfIncomplete);
    EXPECT_FALSE(LogNumbers().contains(926)) << "a cut control file was never found";
}
