#pragma once

// Our help engine: it shows a topic of an HTML help document in a help
// window of its own. A topic is an element's id (or an anchor's name) in
// the document.
//
// The application's help command uses it as
//     ShowHelpTopic(helpFile, "Introduction");

#include <QString>

class HelpWindow;

// Opens the help window on `helpFile` at `topic`: the window is made on the
// first call and reused by later ones, brought to the front each time. When
// the document cannot be read, or holds no such topic, a message box says so,
// nothing else changes, and the result is false.
bool ShowHelpTopic(const QString& helpFile, const QString& topic);

// The help window, or null before the first topic was shown.
HelpWindow* CurrentHelpWindow();
