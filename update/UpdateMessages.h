#pragma once
// The update engine's message table: numbers and the program's English texts ("%s" stands for
// the report's parameter).
#include <QString>

namespace um {
enum : int {
    PatcherCommand = 18,
    PromptFile = 909,
    PromptFiles = 910,
    PromptRestart = 911,
    EqualFiles = 912,
    SourceNotFound = 913,
    ZeroLengthSource = 914,
    Download = 915,
    HttpStatus = 916,
    UrlNotFound = 917,
    CheckingConnection = 918,
    PromptConnection = 919,
    OpeningConnection = 920,
    FoundConnection = 921,
    CannotOpenConnection = 922,
    ConnectHost = 923,
    CannotConnectFtp = 924,
    ControlFileNotFound = 925,
    ControlFileFound = 926,
    InvalidSignature = 927,
    DateBased = 928,
    NewVersionFound = 929,
    NoNewVersion = 930,
    ChecksumBased = 931,
    SizeBased = 932,
    VersionBased = 933,
    FoundMessage = 934,
    FoundHtmlDialog = 935,
    FoundQuery = 936,
    FoundWhatsNew = 937,
    WhatsNewRefused = 938,
    FoundLicense = 939,
    LicenseRefused = 940,
    FoundUrlRedirection = 941,
    FoundShowUrl = 942,
    FoundFileUpdate = 943,
    VersionCheck = 944,
    DownloadUpdate = 945,
    CannotDownloadFile = 946,
    CabError = 947,
    Finished = 948,
    ClosedConnection = 949,
    SpawnFailed = 950,
    PostConnectFailed = 951,
    PostResourceFailed = 952,
    DialupFailed = 953,
    ClosedFtp = 954,
    DisconnectDialup = 955,
    AuthCancelled = 956,
    AuthFailed = 957,
    Spawn = 958,
    RestartInDirectory = 959,
    ThreadedDone = 960,
    ThreadedRestart = 961,
    FoundComponent = 962,
    RunStart = 963,
    DownloadCancelled = 964,
    CabinetInFileMode = 965,
    SignatureMissing = 966,
    SignatureMalformed = 967,
    SignatureOtherKey = 968,
    OlderRelease = 969,
    NoPublicKey = 970,
    ChecksumMissing = 971,
    ChecksumMismatch = 972,
    DownloadIncomplete = 973,
    TargetNotWritable = 974,
    SignatureVerified = 975,
};

// Status code of every refused update; the error code names the reason.
constexpr int RefusedStatus = 11;
enum TRefusal : int {
    rfSignatureMissing = 1,
    rfSignatureMalformed = 2,
    rfOtherKey = 3,
    rfBadSignature = 4, // also the code of InvalidSignature (927)
    rfOlderRelease = 5,
    rfNoPublicKey = 6,
    rfChecksumMissing = 7,
    rfChecksumMismatch = 8,
    rfIncomplete = 9,
    rfNotWritable = 10,
};
} // namespace um

// The text of a message number; empty for a number without text.
QString UpdateMessageText(int number);

// The message text with the parameter put in for "%s" (a text without "%s" ignores it).
QString FormatUpdateMessage(int number, const QString& param);
