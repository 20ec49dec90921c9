#pragma once
// The administration window over a data module on a fresh copy of the delivered database,
// with dialogs answered and help requests recorded.
#include "admin/TfrmVerwaltung.h"
#include "common/TempDatabase.h"
#include "platform/Autostart.h"
#include "platform/fake/FakeAutostart.h"
#include "store/TDataModuleNotizen.h"
#include "store/fb/FbHandles.h"
#include "ui/ConnectionStatusBar.h"
#include "ui/DbWaitCursor.h"
#include "ui/MessageDialogs.h"

#include <QFile>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

struct TStoredNote {
    qint64 id = 0;
    QString titel;
    QByteArray bemerkung;
    QString zeitstempel;
    bool operator==(const TStoredNote&) const = default;
};

class AdminFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetAutostart(&autostart);
        SetHelpRequestHandler([this](int context) { helpRequests.push_back(context); });
        SetDialogAnswerer([this](const TDialogRequest& r) {
            dialogs.push_back(r);
            statusAtDialog.push_back(window ? window->StatusBar()->Text() : QString());
            if (answers.empty())
                return r.buttons & mbOK ? TModalResult::OK : TModalResult::No;
            const TModalResult a = answers.front();
            answers.pop_front();
            return a;
        });
        dm = std::make_unique<TDataModuleNotizen>(db.Directory());
        window = std::make_unique<TfrmVerwaltung>(*dm, [this] {
            if (showUpdateWindow)
                showUpdateWindow();
        });
        QObject::connect(dm.get(), &TDataModuleNotizen::Connected, window->StatusBar(),
                         &TConnectionStatusBar::MarkConnected);
        ASSERT_TRUE(dm->DataModuleCreate()) << dm->LastConnectError().toStdString();
    }
    void TearDown() override {
        window.reset();
        dm.reset();
        SetDialogAnswerer({});
        SetHelpRequestHandler({});
        SetAutostart(nullptr);
    }

    QString BackupFile() const { return db.Directory() + "notizenbackup.gbk"; }
    std::vector<QString> statusAtDialog; // the status text while each dialog was shown

    void AddNote(const QString& title, const QString& text) {
        dm->SharedTransaction.StartTransaction();
        dm->QueryNotizen.SetSQL({"insert into tblnotizen (id, titel, bemerkung, zeitstempel) values "
                                 "(gen_id(GEN_TBLNOTIZEN_ID, 1), '" +
                                 QuoteSqlText(title) + "', :TextParam, 'NOW')"});
        dm->QueryNotizen.SetBlobParam("TextParam", text);
        dm->QueryNotizen.ExecSQL();
        dm->SharedTransaction.Commit();
    }

    // Every note as stored in the file, read over an attachment of its own.
    std::vector<TStoredNote> StoredNotes() const {
        fb::Attachment att;
        att.Attach(QFile::encodeName(db.File()).toStdString(), "sysdba", "lanternix");
        fb::Transaction tr;
        tr.Start(att, fb::Transaction::SharedTpb());
        std::vector<TStoredNote> notes;
        {
            fb::Statement st(att);
            st.Prepare(tr, "select ID, TITEL, BEMERKUNG, ZEITSTEMPEL from TBLNOTIZEN order by ID", 3);
            st.Execute(tr);
            while (st.Fetch()) {
                TStoredNote n;
                n.id = st.AsInt64(0);
                n.titel = st.AsString(1);
                if (!st.IsNull(2))
                    n.bemerkung = fb::ReadBlob(att, tr, st.AsBlobId(2));
                n.zeitstempel = st.AsString(3);
                notes.push_back(n);
            }
        }
        tr.Commit();
        att.Detach();
        return notes;
    }

    static QByteArray Content(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    TTempDatabase db;
    TFakeAutostart autostart;
    std::unique_ptr<TfrmVerwaltung> window;
    std::function<void()> showUpdateWindow; // what the Update button asks the program for
    std::unique_ptr<TDataModuleNotizen> dm;
    std::deque<TModalResult> answers;
    std::vector<TDialogRequest> dialogs;
    std::vector<int> helpRequests;
};
