#pragma once
// A data module on a fresh copy of the delivered database, both note windows, and a
// dialog answerer that records every question.
#include "common/TempDatabase.h"
#include "notes/NoteRules.h"
#include "notes/TfrmAnlegen.h"
#include "notes/TfrmSuchen.h"
#include "store/TDataModuleNotizen.h"
#include "ui/MessageDialogs.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

struct TStoredNote {
    QString title;
    QString text;
};

class NotesFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dm = std::make_unique<TDataModuleNotizen>(db.Directory());
        anlegen = std::make_unique<TfrmAnlegen>(*dm);
        suchen = std::make_unique<TfrmSuchen>(*dm);
        ASSERT_TRUE(dm->DataModuleCreate()) << dm->LastConnectError().toStdString();
        SetDialogAnswerer([this](const TDialogRequest& request) {
            dialogs.push_back(request);
            return answer;
        });
    }

    void TearDown() override {
        SetDialogAnswerer({});
        suchen.reset();
        anlegen.reset();
        check.reset();
        dm.reset();
    }

    // Adds a note as the new-note window does, committed.
    void AddNote(const QString& title, const QString& text) { dm->SaveNewNote(title, text); }

    // Notes as a second connection sees them: only what is committed.
    std::vector<TStoredNote> Committed(const QString& where = {}) {
        if (!check) {
            check = std::make_unique<TDataModuleNotizen>(db.Directory());
            EXPECT_TRUE(check->DataModuleCreate());
        }
        if (check->SharedTransaction.InTransaction())
            check->SharedTransaction.Commit();
        TQuery& q = check->QueryInternes;
        q.SetSQL({"select titel, bemerkung from tblnotizen " + where + " order by id"});
        q.Open();
        std::vector<TStoredNote> notes;
        for (; !q.Eof(); q.Next())
            notes.push_back({q.FieldAsString("TITEL"), q.FieldAsString("BEMERKUNG")});
        q.Close();
        check->SharedTransaction.Commit();
        return notes;
    }

    // Titles of the listed rows, fetched to the end.
    QStringList ListedTitles() {
        TNotizListe& liste = dm->DataSetNotizliste;
        QStringList titles;
        if (!liste.Active())
            return titles;
        while (liste.CanFetchMore())
            liste.FetchMore(1000);
        for (int row = 0; row < liste.RowCount(); ++row)
            titles << liste.Title(row);
        return titles;
    }

    TTempDatabase db;
    std::unique_ptr<TDataModuleNotizen> dm;
    std::unique_ptr<TDataModuleNotizen> check;
    std::unique_ptr<TfrmAnlegen> anlegen;
    std::unique_ptr<TfrmSuchen> suchen;
    std::vector<TDialogRequest> dialogs;
    TModalResult answer = TModalResult::Yes;
};
