#pragma once
// The update engine against a loopback HTTP server, with a recording host and fake platform.
#include "UpdateTestSupport.h"
#include "platform/fake/FakeUpdatePlatform.h"
#include "update/TUpdateEngine.h"
#include "update/UpdateLog.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

struct TAskRecord {
    QString text;
    TMsgDlgType type;
    int buttons;
};

class TRecordingHost : public TUpdateHost {
public:
    std::vector<TAskRecord> asks;
    std::deque<TModalResult> answers; // default: Yes for questions, OK otherwise
    std::vector<TTextDialogRequest> texts;
    std::deque<bool> textAnswers; // default: accepted
    int terminated = 0;
    std::function<void()> onTerminate; // runs while the run's private directory still exists

    TModalResult Ask(const QString& text, TMsgDlgType type, int buttons) override {
        asks.push_back({text, type, buttons});
        if (!answers.empty()) {
            const TModalResult a = answers.front();
            answers.pop_front();
            return a;
        }
        return (buttons & mbYes) ? TModalResult::Yes : TModalResult::OK;
    }
    bool ShowText(const TTextDialogRequest& r) override {
        texts.push_back(r);
        if (textAnswers.empty())
            return true;
        const bool a = textAnswers.front();
        textAnswers.pop_front();
        return a;
    }
    void TerminateApplication() override {
        ++terminated;
        if (onTerminate)
            onTerminate();
    }
};

struct TStatusRecord {
    QString text;
    int status;
    int error;
};

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Running());
        ASSERT_TRUE(work.isValid());
        oldDir = QDir::currentPath();
        QDir::setCurrent(work.path());
        oldTmp = qgetenv("TMPDIR");
        QDir().mkpath(TmpDir());
        qputenv("TMPDIR", QFile::encodeName(TmpDir()));

        engine.UpdateType = httpUpdate;
        engine.URL = server.Url("/files/zettelwerk.inf");
        engine.UpdateConnect = wucNoConnect;
        engine.UpdateUpdate = wuuPromptOnce;
        engine.Logging = true;
        // The run's mechanics; signed runs are tried in SignedUpdateTest.cpp.
        engine.RequireSignature = false;
        engine.SetHost(&host);
        engine.OnStatus = [this](TUpdateEngine*, const QString& text, int status, int err) {
            statuses.push_back({text, status, err});
        };
    }
    void TearDown() override {
        QDir::setCurrent(oldDir);
        if (oldTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", oldTmp);
    }

    QString TmpDir() const { return work.path() + "/tmp"; }
    QString Work(const QString& name) const { return work.path() + "/" + name; }

    void Serve(const QString& name, const QByteArray& data) {
        updtest::WriteFile(server.Root() + "/" + name, data);
    }
    void ServeControlFile(const QString& text) { Serve("zettelwerk.inf", text.toUtf8()); }
    QString FileUrl(const QString& name) const { return server.Url("/files/" + name); }

    QStringList LogLines() const {
        QFile f(Work("WUPDATE.LOG"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLocal8Bit(f.readAll()).split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    // The message numbers of the status lines, in order.
    QList<int> LogNumbers() const {
        static const QRegularExpression re(R"(^.{19} : \[(\d+)\] )");
        QList<int> numbers;
        for (const QString& line : LogLines()) {
            const auto m = re.match(line);
            if (m.hasMatch())
                numbers << m.captured(1).toInt();
        }
        return numbers;
    }

    updtest::THttpServer server;
    QTemporaryDir work;
    QString oldDir;
    QByteArray oldTmp;
    TFakeUpdatePlatform platform;
    TRecordingHost host;
    TUpdateEngine engine;
    std::vector<TStatusRecord> statuses;
};
