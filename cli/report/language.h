#ifndef CLI_LANGUAGE_H
#define CLI_LANGUAGE_H

#include <QString>

// What people read (the text output, the HTML report) is in the language
// their locale asks for, Simplified Chinese or English; what programs read
// (JSON, JUnit, metrics, the exit status, the operations' names) is English
// in every locale.

// Installs the Chinese catalogue, compiled into the program, where the
// locale asks for Simplified Chinese, as gettext chooses: LC_ALL, else
// LC_MESSAGES, else LANG, then LANGUAGE's list unless that locale is C or
// POSIX. Any other locale reads nothing and speaks English.
void useTheLocalesLanguage();

// An operation as people know it: in Chinese, its name and the text of the
// window's button that makes the same call, "card-info（基本信息）"; in
// English its name alone.
QString operationLabel(const QString &operation);

// A text the run keeps in English for programs (a contract finding, a
// difference from the expected answer, a doubt, a failed call's note) as
// people read it: in Chinese where its form is in the catalogue, with what
// fills the form (function names, values, the library's message) carried
// over as it is; a text of no known form is shown as it came.
QString forPeople(const QString &english);

// The columns a text takes on a terminal: two for a Chinese character or
// a full-width sign, one for the rest.
int columnsOf(const QString &text);
// The text padded with spaces to width columns: on the left for a positive
// width, on the right for a negative one, as printf's %*s and %-*s.
QString padded(const QString &text, int width);
// As much of the text as fits in columns, never half a character.
QString fitted(const QString &text, int columns);

#endif
