#pragma once
// The signed APT package source beside the update tree: <out>/apt/ holds the pool of published
// .deb files, the package indexes of one suite and its Release file, signed with gpg (InRelease
// and Release.gpg), and the signing key for the users' Signed-By. Debian's own tools do the work:
// dpkg-deb reads the packages, apt-ftparchive writes the indexes and the Release file.
#include <QString>
#include <QStringList>

struct TAptRequest {
    QStringList Packages;    // .deb files of the release, added to the pool
    QString OutputDirectory; // the server tree; the repository is <out>/apt
    QString SigningKey;      // gpg key (fingerprint, id or user id); empty: left unsigned
    QString Suite = QStringLiteral("stable");
    QString Component = QStringLiteral("main");
};

struct TAptResult {
    bool Ok = false;
    QString Error;
    QString Root;              // <out>/apt
    QString Release;           // dists/<suite>/Release
    QStringList Added;         // pool files written by this run
    QStringList Architectures; // of the indexes written
    QString KeyFile;           // the exported public key, when signed
    QString KeyFingerprint;    // of the signing key, when signed
};

inline const QString kAptTreePath = QStringLiteral("apt");
inline const QString kAptKeyFileName = QStringLiteral("zettelwerk-archive-keyring.gpg");

// The control fields of a package that the pool and the indexes need.
struct TDebFields {
    QString Package, Version, Architecture;
};
// "<Package>_<Version without epoch>_<Architecture>.deb" under pool/<component>/<initial>/<Package>/.
QString PoolPath(const TDebFields& deb, const QString& component);
// The apt-ftparchive options that name the suite in its Release file.
QStringList ReleaseOptions(const TAptRequest& request, const QStringList& architectures);

// Adds the packages and writes the indexes, the Release file and (with a key) its signatures.
// A pool file of the same name with other bytes is never replaced: apt would refuse the change.
TAptResult PublishAptRepository(const TAptRequest& request);

// The gpg command lines that sign the Release file, for a maker who signs apart.
QList<QStringList> AptSignCommands(const QString& key, const TAptResult& result);
