#pragma once

// Qt's own texts (standard buttons, the file dialog) in Russian, like the rest of the window.
namespace QtTranslations
{

// Loads Qt's Russian translation from Qt's translations folder into the application; false when it
// is not installed there (the texts then stay English).
bool install();

} // namespace QtTranslations
