#ifndef READER_PLAUSIBILITY_H
#define READER_PLAUSIBILITY_H

#include <string>
#include <vector>

// Whether the answers of a successful call could have come from a genuine
// card. The maker chooses how values are written, so a rule judges only a
// form it recognises; any other form raises no doubt.

struct CalendarDate
{
    int year;
    int month;
    int day;
};

// A date in a form cards use: YYYYMMDD, YYYY-MM-DD, YYYY.MM.DD, YYYY/MM/DD or
// YYYY年MM月DD日 (UTF-8). False for any other form; says nothing about
// whether the date is real.
bool readCardDate(const std::string &text, CalendarDate &date);

// A day of the Gregorian calendar, year 1 onwards.
bool isRealDate(const CalendarDate &date);

// The doubts about one successful call's values, each one English text that
// names the field, its value and the reason:
// "identity card number 110105194912310021: check character should be X".
// function is the library function's name ("VRK_IDCard_Read"), values its
// output buffers' texts in argument order without the error buffer; fewer
// values than the function has are judged as far as they go. today bounds a
// birth date. A text quotes only values that a rule recognised (digits and
// dates), never anything else the library wrote.
std::vector<std::string> answerDoubts(const char *function, const std::vector<std::string> &values,
                                      const CalendarDate &today);

// Whether any rule is about the function's answers: a burn-in of a function
// none is about need not gather its values.
bool hasAnswerRules(const char *function);

#endif
