#pragma once
// "Categories..." of the contact options pages: the host's category chooser.
#include <string>

namespace mireo {

class IApplication;

// Opens the host's category chooser on a temporary contact holding `categories` and,
// when the user confirms, puts the chosen categories into `categories`. The contact is
// never saved. False when the chooser was cancelled or a host call failed (the text
// stays as it was).
bool ChooseContactCategories(IApplication& app, std::string& categories);

}  // namespace mireo
