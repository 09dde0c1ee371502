#pragma once
// Numbers of the add-in's own resources (Mireo.dll). Shared by mireo.rc and the code.

// The command faces for hosts above major version 10: a picture and its mask each.
#define IDB_EXPORT_EVENTS_MASK 257
#define IDB_EXPORT_EVENTS 258
#define IDB_EXPORT_CONTACTS 260
#define IDB_EXPORT_CONTACTS_MASK 262
#define IDB_IMPORT_EVENTS_MASK 263
#define IDB_IMPORT_EVENTS 264
#define IDB_IMPORT_CONTACTS_MASK 266
#define IDB_IMPORT_CONTACTS 267
