#pragma once
// The add-in's numbered user texts (its string table), UTF-8. Every message box,
// caption and summary text is looked up here by number.

namespace mireo {

// The text of string `id`; an empty text for a number the table does not have.
const char* LoadUserString(int id);

}  // namespace mireo
