#pragma once
// Brings a notes database to the schema version of this program, once, on connect. Each step
// runs in one transaction; a step that fails (an account that may not change the schema, a
// second program upgrading at the same moment) leaves the database as it was, and the program
// works on with what the database has.
#include "store/SchemaRules.h"

#include <QString>

namespace fb {
class Attachment;
}

enum class TSchemaState {
    Current,     // nothing to do
    Upgraded,    // the missing steps ran
    Newer,       // made by a later release: used as it is, nothing changed
    Unavailable, // a step could not run; detail holds why
    Busy,        // another program held the schema: tried again at the next connect
    NotNotes,    // no notes table: not a database of this program
};

struct TSchemaReport {
    TSchemaState state = TSchemaState::Current;
    int found = 0;   // version found when connecting (0: no notes table)
    int version = 0; // version after the upgrade
    QString detail;  // the engine's text of a failed step
    bool TrashAvailable() const { return version >= 2; }
};

TSchemaReport UpgradeSchema(fb::Attachment& attachment, int dialect);

// The schema version of the connected database (0: no notes table, 1: the first release).
int ReadSchemaVersion(fb::Attachment& attachment, int dialect);
