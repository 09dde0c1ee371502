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

// Pictures of the dialogs: the band along the left of the wizard pages and the
// progress dialog, the select-action buttons' icons and the browse buttons' folder.
#define IDB_WIZARD 272
#define IDI_IMPORT_EVENTS 280
#define IDI_EXPORT_CONTACTS 281
#define IDI_EXPORT_EVENTS 282
#define IDI_IMPORT_CONTACTS 283
#define IDI_BROWSE 284

// Dialog templates.
#define IDD_DEBUG 132
#define IDD_CONTACT_EXPORT 224
#define IDD_CONTACT_EXPORT_OPTIONS 225
#define IDD_CONTACT_EXPORT_PROGRESS 226
#define IDD_CONTACT_EXPORT_FINISH 227
#define IDD_CONTACT_IMPORT 228
#define IDD_CONTACT_IMPORT_FINISH 229
#define IDD_CONTACT_IMPORT_OPTIONS 230
#define IDD_CONTACT_IMPORT_PROGRESS 231
#define IDD_EVENT_EXPORT 238
#define IDD_EVENT_EXPORT_PROGRESS 239
#define IDD_EVENT_EXPORT_FINISH 240
#define IDD_EVENT_EXPORT_OPTIONS 241
#define IDD_EVENT_IMPORT 242
#define IDD_EVENT_IMPORT_FINISH 243
#define IDD_EVENT_IMPORT_OPTIONS 244
#define IDD_EVENT_IMPORT_PROGRESS 245
#define IDD_EVENT_EXPORT_FILTER 268
#define IDD_LABELS 270
#define IDD_EVENT_IMPORT_FILTER 271
#define IDD_SELECT_ACTION 273

// Controls. The pages of both formats use the same number for the same role.
#define IDC_PAGE_HELP 9                 // "Help" of the pages
#define IDC_CATEGORIES_BUTTON 10   // "Categories..."
#define IDC_LABELS_BUTTON 11       // "Labels..."
#define IDC_PROGRESS_BAR 202
#define IDC_PROGRESS_LABEL 209     // hidden: "Exporting..." / "Importing..."
#define IDC_PROGRESS_STATUS 210    // "%i of %i"
#define IDC_CATEGORY_MODE 220      // exclude / include; the zone list of 244
#define IDC_ZONE_LIST 220
#define IDC_LABEL_MODE 221
#define IDC_SUM_OVERWRITE 224      // the summary's values
#define IDC_SUM_FORMAT 225
#define IDC_SUM_ENCODING 226
#define IDC_CHANGE_OPTIONS 227
#define IDC_OUTLOOK_FOLDER 228
#define IDC_PATH 229               // the Windows folder, or the files to import
#define IDC_BROWSE_OUTLOOK 230
#define IDC_BROWSE_PATH 231
#define IDC_ONE_FILE 232
#define IDC_SELECTED_ONLY 233
#define IDC_SUM_PRIVATE 234        // contact pages: "Export private contacts:" ...
#define IDC_SUM_CATEGORIES 235
#define IDC_PROGRESS_HELP 238
#define IDC_OVERWRITE 243
#define IDC_ENCODING_LIST 246
#define IDC_OPEN_FOLDER 251
#define IDC_COUNT_SELECTED 252
#define IDC_COUNT_SUCCEEDED 253
#define IDC_COUNT_FAILED 254
#define IDC_COUNT_SKIPPED 255
#define IDC_STATUS 256
#define IDC_SUM_CONFLICT 259
#define IDC_COUNT_COMPLETED 260    // the calendar import's "Successfully imported"
#define IDC_CONFLICT_KEEP_BOTH 261
#define IDC_CONFLICT_REPLACE 262
#define IDC_CONFLICT_KEEP_EXISTING 263
#define IDC_PROGRESS_PANEL 263
#define IDC_PROGRESS_CAPTION 272
#define IDC_SKIPPED_WHY 273        // the "Skipped (Why?)" link
#define IDC_FORMAT_OLD 274         // vCard 2.1, vCalendar
#define IDC_FORMAT_NEW 275         // vCard 3.0, iCalendar
#define IDC_OPEN_FOLDER_LINK 277
#define IDC_BACK 282
#define IDC_CATEGORY_FILTER 284
#define IDC_SKIP_ALL_DAY 285
#define IDC_SKIP_PRIVATE 286
#define IDC_LABEL_FILTER 287
#define IDC_PERIOD_FILTER 288
#define IDC_CATEGORIES 290
#define IDC_LABEL_NAMES 291
#define IDC_PERIOD_START 292
#define IDC_PERIOD_END 293
#define IDC_FILTER_DEFAULTS 294
#define IDC_LABEL_FIRST 303        // 303..312: labels 1..10
#define IDC_ALL 307                // "Export All" / "Import All"
#define IDC_DEBUG_TOPIC 371
#define IDC_DEBUG_OPEN_TOPIC 372
#define IDC_SELECT_EXPORT_CONTACTS 373
#define IDC_SELECT_IMPORT_CONTACTS 374
#define IDC_SELECT_EXPORT_EVENTS 375
#define IDC_SELECT_IMPORT_EVENTS 376
#define IDC_MAIL 377
#define IDC_SUM_ZONE 378
#define IDC_DEBUG_PROFILES 380
#define IDC_DEBUG_NEW_PROFILE 381
#define IDC_DEBUG_DELETE_PROFILE 382
