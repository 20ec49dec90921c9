/* Schema 1 of the notes database notizen.gdb, as the first release delivered it; the build
   brings it to the current version with the program's own upgrade steps (SchemaRules.cpp).
   The build prepends the CREATE DATABASE statement (page size 4096, dialect 3,
   default character set UTF8) and runs this file with isql-fb.
   The program attaches without a connection character set, so text literals of its statements
   arrive as NONE, whose UPPER changes only a to z. The title therefore compares and sorts
   without regard to case (UNICODE_CI): a search for a title with umlauts, typed as stored
   or in other letter case, finds it. */

CREATE TABLE TBLNOTIZEN (
    ID          INTEGER NOT NULL,
    TITEL       VARCHAR(50) COLLATE UNICODE_CI,
    BEMERKUNG   BLOB SUB_TYPE TEXT SEGMENT SIZE 80,
    BILD        BLOB SUB_TYPE 0 SEGMENT SIZE 80,
    ZEITSTEMPEL TIMESTAMP,
    CONSTRAINT PK_TBLNOTIZEN PRIMARY KEY (ID)
);

/* The list is ordered by title. */
CREATE INDEX IDX_TBLNOTIZEN_TITEL ON TBLNOTIZEN (TITEL);

CREATE GENERATOR GEN_TBLNOTIZEN_ID;
SET GENERATOR GEN_TBLNOTIZEN_ID TO 0;

/* One row of settings, no key. The flag is a number so that it reads back as "1" or "0". */
CREATE TABLE TBLINTERNA (
    FIRSTSTART          INTEGER,
    LASTUPDATETESTDATUM VARCHAR(20),
    AUTOMATICUPDATE     INTEGER
);

COMMIT;
