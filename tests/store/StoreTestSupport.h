#pragma once
// A data module on a fresh copy of the delivered database.
#include "common/TempDatabase.h"
#include "store/TDataModuleNotizen.h"
#include "store/fb/FbError.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dm = std::make_unique<TDataModuleNotizen>(db.Directory());
        ASSERT_TRUE(dm->DataModuleCreate()) << dm->LastConnectError().toStdString();
    }
    void TearDown() override { dm.reset(); }

    // Inserts a note the way the new-note window does and commits.
    void AddNote(const QString& title, const QString& text) {
        dm->SharedTransaction.StartTransaction();
        dm->QueryNotizen.SetSQL({"insert into tblnotizen  (tblnotizen.id, tblnotizen.titel, "
                                 "tblnotizen.bemerkung, tblnotizen.zeitstempel) VALUES "
                                 "(gen_id(GEN_TBLNOTIZEN_ID, 1), '" +
                                 QuoteSqlText(title) + "', (:TextParam),'NOW')"});
        dm->QueryNotizen.SetBlobParam("TextParam", text);
        dm->QueryNotizen.ExecSQL();
        dm->SharedTransaction.Commit();
    }

    // A value read through a statement object of the given module (leaves the transaction open).
    static QString Scalar(TDataModuleNotizen& m, const QString& sql, const QString& field) {
        m.QueryInternes.SetSQL({sql});
        m.QueryInternes.Open();
        const QString v = m.QueryInternes.FieldAsString(field);
        m.QueryInternes.Close();
        return v;
    }

    // The message of the exception thrown by f, or "" when none was thrown.
    template <class F> static std::string ErrorOf(F&& f) {
        try {
            f();
        } catch (const std::exception& e) {
            return e.what();
        }
        return {};
    }

    TTempDatabase db;
    std::unique_ptr<TDataModuleNotizen> dm;
};
