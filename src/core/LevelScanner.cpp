#include "LevelScanner.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

LevelScanner::LevelScanner(FILE* in) : in(in) { flockfile(in); }

LevelScanner::~LevelScanner() { funlockfile(in); }

void LevelScanner::back(int ch)
{
    if (ch == EOF)
        return;
    std::ungetc(ch, in);
    if (ch == '\n') {
        --line;
        column = previousLineLength;
    } else {
        --column;
    }
}

Place LevelScanner::endOfLine(int ch) const
{
    return ch == '\n' ? Place{line - 1, previousLineLength + 1} : Place{line, column + 1};
}

void LevelScanner::skipSpace()
{
    int ch;
    while ((ch = next()) != EOF && std::isspace(ch))
        crossedLine = crossedLine || ch == '\n';
    back(ch);
}

void LevelScanner::skipToLineEnd()
{
    for (int ch; (ch = next()) != EOF && ch != '\n';) {
    }
}

int LevelScanner::byteOrderMark()
{
    const char mark[] = "\xEF\xBB\xBF";
    int matched = 0;
    int ch;
    while (matched < 3 && (ch = next()) == static_cast<unsigned char>(mark[matched]))
        ++matched;
    if (matched < 3)
        back(ch);
    return matched;
}

LevelScanner::Status LevelScanner::readInt(int& value)
{
    skipSpace();
    int ch = next();
    const bool negative = ch == '-';
    if (ch == '-' || ch == '+')
        ch = next();
    if (!std::isdigit(ch)) {
        back(ch);
        return Unreadable;
    }
    long long magnitude = 0;
    for (; std::isdigit(ch); ch = next())
        if (magnitude <= INT_MAX)
            magnitude = magnitude * 10 + (ch - '0');
    back(ch);
    if (magnitude > INT_MAX)
        return OutOfRange;
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return Good;
}

LevelScanner::Status LevelScanner::readFloat(float& value)
{
    skipSpace();
    std::string text;
    int ch = next();
    if (ch == '-' || ch == '+') {
        text += static_cast<char>(ch);
        ch = next();
    }
    bool digits = false;
    for (; std::isdigit(ch) || (ch == '.' && text.find('.') == std::string::npos); ch = next()) {
        digits = digits || ch != '.';
        text += static_cast<char>(ch);
    }
    if (digits && (ch == 'e' || ch == 'E')) {
        text += static_cast<char>(ch);
        ch = next();
        if (ch == '-' || ch == '+') {
            text += static_cast<char>(ch);
            ch = next();
        }
        digits = std::isdigit(ch);
        for (; std::isdigit(ch); ch = next())
            text += static_cast<char>(ch);
    }
    back(ch);
    if (!digits)
        return Unreadable;
    // A number that rounds to the largest float is it.
    const float number = std::strtof(text.c_str(), nullptr);
    if (std::isinf(number))
        return OutOfRange;
    value = number;
    return Good;
}
