#include "plausibility.h"

#include <cstdio>
#include <cstring>

namespace {

using Doubts = std::vector<std::string>;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool allDigits(const std::string &text, std::size_t from, std::size_t count)
{
    if (from > text.size() || count > text.size() - from)
        return false;
    for (std::size_t i = from; i < from + count; ++i) {
        if (!isDigit(text[i]))
            return false;
    }
    return true;
}

int number(const std::string &text, std::size_t from, std::size_t count)
{
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

bool hasAt(const std::string &text, std::size_t at, const char *word)
{
    return text.compare(at, std::strlen(word), word) == 0;
}

long ordinal(const CalendarDate &date)
{
    return date.year * 10000L + date.month * 100L + date.day;
}

bool sameDate(const CalendarDate &a, const CalendarDate &b)
{
    return ordinal(a) == ordinal(b);
}

std::string compact(const CalendarDate &date)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d", date.year, date.month, date.day);
    return text;
}

// A value the library left out is judged as empty, which no rule recognises.
const std::string &valueAt(const std::vector<std::string> &values, std::size_t index)
{
    static const std::string missing;
    return index < values.size() ? values[index] : missing;
}

void doubt(Doubts &doubts, const char *field, const std::string &value, const std::string &reason)
{
    doubts.push_back(std::string(field) + ' ' + value + ": " + reason);
}

// ISO/IEC 7812.
bool passesLuhn(const std::string &digits)
{
    int sum = 0;
    bool doubled = false;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        int digit = *it - '0';
        if (doubled) {
            digit *= 2;
            if (digit > 9)
                digit -= 9;
        }
        sum += digit;
        doubled = !doubled;
    }
    return sum % 10 == 0;
}

bool isCardNumber(const std::string &text)
{
    return text.size() >= 12 && text.size() <= 19 && allDigits(text, 0, text.size());
}

bool isIdentityNumber(const std::string &text)
{
    if (text.size() != 18 || !allDigits(text, 0, 17))
        return false;
    const char check = text[17];
    return isDigit(check) || check == 'X' || check == 'x';
}

// ISO 7064 MOD 11-2 over the first 17 digits.
char identityCheckCharacter(const std::string &number)
{
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int sum = 0;
    for (std::size_t i = 0; i < 17; ++i)
        sum += (number[i] - '0') * weights[i];
    return "10X98765432"[sum % 11];
}

// A date field that reads as a date but is none is a doubt on its own,
// whatever it is compared with. True when the field holds a real date.
bool readRealDate(Doubts &doubts, const char *field, const std::string &text, CalendarDate &date)
{
    if (!readCardDate(text, date))
        return false;
    if (isRealDate(date))
        return true;
    doubt(doubts, field, text, "not a real date");
    return false;
}

void checkIdentity(Doubts &doubts, const std::string &idNumber, const std::string &birthField,
                   const std::string &sex, const CalendarDate &today)
{
    const char *const field = "identity card number";
    CalendarDate stated{};
    const bool statedIsReal = readRealDate(doubts, "date of birth", birthField, stated);
    if (!isIdentityNumber(idNumber))
        return;

    // Every number is issued by a region; residence permits and foreigners'
    // cards hold codes of their own (81 to 83, 9), never six zeros.
    if (idNumber.compare(0, 6, "000000") == 0)
        doubt(doubts, field, idNumber, "region code 000000 names no region");

    const char expected = identityCheckCharacter(idNumber);
    const char check = idNumber[17] == 'x' ? 'X' : idNumber[17];
    if (check != expected)
        doubt(doubts, field, idNumber, std::string("check character should be ") + expected);

    const std::string embedded = idNumber.substr(6, 8);
    CalendarDate birth{};
    readCardDate(embedded, birth);
    if (!isRealDate(birth)) {
        doubt(doubts, field, idNumber, "birth date " + embedded + " is not a real date");
    } else {
        if (ordinal(birth) > ordinal(today))
            doubt(doubts, field, idNumber,
                  "birth date " + embedded + " is after today " + compact(today));
        // The numbers were first issued in 1984, to the living.
        if (birth.year < 1900)
            doubt(doubts, field, idNumber, "birth date " + embedded + " is before 1900");
        if (statedIsReal && !sameDate(stated, birth))
            doubt(doubts, "date of birth", birthField,
                  "does not match the birth date " + embedded + " in the identity card number");
    }

    const char digit = idNumber[16];
    const bool odd = (digit - '0') % 2 != 0;
    const std::string reason = std::string("the identity card number's 17th digit ") + digit;
    if (sex == "男" && !odd)
        doubt(doubts, "sex", sex, reason + " is even (女)");
    if (sex == "女" && odd)
        doubt(doubts, "sex", sex, reason + " is odd (男)");
}

std::string trimmed(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

struct Period
{
    std::string startText;
    std::string endText;
    CalendarDate start;
    CalendarDate end;
};

// YYYY-MM-DD holds the separator '-' itself, so every place a separator
// stands is tried until both sides read as dates.
bool readPeriod(const std::string &text, Period &period)
{
    static const char *const separators[] = {"-", "~", "～", "至", "—"};
    for (const char *separator : separators) {
        const std::size_t length = std::strlen(separator);
        for (std::size_t at = text.find(separator); at != std::string::npos;
             at = text.find(separator, at + 1)) {
            period.startText = trimmed(text.substr(0, at));
            period.endText = trimmed(text.substr(at + length));
            if (readCardDate(period.startText, period.start)
                && readCardDate(period.endText, period.end))
                return true;
        }
    }
    return false;
}

void checkValidity(Doubts &doubts, const char *field, const std::string &text,
                   const std::string &endField)
{
    CalendarDate until{};
    const bool untilIsReal = readRealDate(doubts, "validity end date", endField, until);
    Period period{};
    if (!readPeriod(text, period))
        return;
    const bool startIsReal = isRealDate(period.start);
    const bool endIsReal = isRealDate(period.end);
    if (!startIsReal)
        doubt(doubts, field, text, "start " + period.startText + " is not a real date");
    if (!endIsReal)
        doubt(doubts, field, text, "end " + period.endText + " is not a real date");
    if (startIsReal && endIsReal && ordinal(period.start) > ordinal(period.end))
        doubt(doubts, field, text,
              "starts " + period.startText + ", after its end " + period.endText);
    if (untilIsReal && endIsReal && !sameDate(until, period.end))
        doubt(doubts, "validity end date", endField,
              "does not match the end " + period.endText + " of the " + field);
}

// A number of zeros passes the Luhn check, as a blank or zero-filled read
// gives it: no issuer has an identification number of 0.
void checkPan(Doubts &doubts, const char *field, const std::string &shown,
              const std::string &pan, const char *what)
{
    if (pan.find_first_not_of('0') == std::string::npos)
        doubt(doubts, field, shown, std::string(what) + "is all zeros");
    else if (!passesLuhn(pan))
        doubt(doubts, field, shown, std::string(what) + "fails the Luhn check");
}

void checkCardNumber(Doubts &doubts, const std::string &cardNumber)
{
    if (isCardNumber(cardNumber))
        checkPan(doubts, "card number", cardNumber, cardNumber, "");
}

// ISO/IEC 7813: [;]PAN=YYMM followed by service code and discretionary data,
// which are the issuer's and not judged, nor quoted.
void checkSecondTrack(Doubts &doubts, const std::string &track)
{
    const std::size_t from = !track.empty() && track[0] == ';' ? 1 : 0;
    const std::size_t separator = track.find('=', from);
    if (separator == std::string::npos)
        return;
    const std::string pan = track.substr(from, separator - from);
    if (!isCardNumber(pan))
        return;
    const bool expiry = allDigits(track, separator + 1, 4);
    const std::string shown = track.substr(from, separator + (expiry ? 5 : 1) - from);
    checkPan(doubts, "second track", shown, pan, "card number ");
    if (!expiry)
        return;
    const int month = number(track, separator + 3, 2);
    if (month < 1 || month > 12)
        doubt(doubts, "second track", shown,
              "expiry month " + track.substr(separator + 3, 2) + " is not 01 to 12");
}

} // namespace

bool readCardDate(const std::string &text, CalendarDate &date)
{
    std::size_t month = 0;
    std::size_t day = 0;
    const std::size_t wordSize = std::strlen("年");
    if (text.size() == 8 && allDigits(text, 0, 8)) {
        month = 4;
        day = 6;
    } else if (text.size() == 10 && allDigits(text, 0, 4) && allDigits(text, 5, 2)
               && allDigits(text, 8, 2) && text[4] == text[7]
               && (text[4] == '-' || text[4] == '.' || text[4] == '/')) {
        month = 5;
        day = 8;
    } else if (text.size() == 8 + 3 * wordSize && allDigits(text, 0, 4)
               && hasAt(text, 4, "年") && allDigits(text, 4 + wordSize, 2)
               && hasAt(text, 6 + wordSize, "月") && allDigits(text, 6 + 2 * wordSize, 2)
               && hasAt(text, 8 + 2 * wordSize, "日")) {
        month = 4 + wordSize;
        day = 6 + 2 * wordSize;
    } else {
        return false;
    }
    date.year = number(text, 0, 4);
    date.month = number(text, month, 2);
    date.day = number(text, day, 2);
    return true;
}

bool isRealDate(const CalendarDate &date)
{
    static const int monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1)
        return false;
    const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
    return date.day <= monthDays[date.month - 1] + (date.month == 2 && leap ? 1 : 0);
}

namespace {

using Values = std::vector<std::string>;

void identityCardRules(Doubts &doubts, const Values &values, const CalendarDate &today)
{
    checkIdentity(doubts, valueAt(values, 5), valueAt(values, 3), valueAt(values, 1), today);
    checkValidity(doubts, "validity period", valueAt(values, 7), valueAt(values, 8));
}

void socialSecurityCardRules(Doubts &doubts, const Values &values, const CalendarDate &today)
{
    checkIdentity(doubts, valueAt(values, 7), valueAt(values, 12), valueAt(values, 9), today);
    checkValidity(doubts, "card validity period", valueAt(values, 5), std::string());
}

void bankCardRules(Doubts &doubts, const Values &values, const CalendarDate &)
{
    checkCardNumber(doubts, valueAt(values, 0));
}

void stripeRules(Doubts &doubts, const Values &values, const CalendarDate &)
{
    checkSecondTrack(doubts, valueAt(values, 0));
}

struct FunctionRules
{
    const char *function;
    void (*check)(Doubts &, const Values &, const CalendarDate &);
};

const FunctionRules functionRules[] = {
    {"VRK_IDCard_Read", identityCardRules},
    {"VRK_ReadCardBas", socialSecurityCardRules},
    {"VRK_ICBankCard_ReadNO", bankCardRules},
    {"VRK_MagicBankCard_ReadNo", bankCardRules},
    {"VRK_MagCardRead", stripeRules},
};

// Compared as C strings: a burn-in judges a million answers, most of
// functions no rule is about.
const FunctionRules *rulesOf(const char *function)
{
    for (const FunctionRules &rules : functionRules) {
        if (std::strcmp(function, rules.function) == 0)
            return &rules;
    }
    return nullptr;
}

} // namespace

bool hasAnswerRules(const char *function)
{
    return rulesOf(function) != nullptr;
}

std::vector<std::string> answerDoubts(const char *function, const std::vector<std::string> &values,
                                      const CalendarDate &today)
{
    Doubts doubts;
    if (const FunctionRules *rules = rulesOf(function))
        rules->check(doubts, values, today);
    return doubts;
}
