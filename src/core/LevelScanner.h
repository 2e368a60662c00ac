// The characters of a level file: where each stands, and the numbers they
// spell, as the reader takes them. Knows nothing of what the numbers mean.
#pragma once

#include <cstdio>

// Where a character stands: line and column, both counted from 1.
struct Place {
    long line;
    long column;
};

class LevelScanner {
public:
    enum Status { Good, Unreadable, OutOfRange };

    // Takes the stream's lock for the whole reading instead of on every
    // character, which matters once threads exist (the GL driver starts some).
    explicit LevelScanner(FILE* in);
    ~LevelScanner();
    LevelScanner(const LevelScanner&) = delete;
    LevelScanner& operator=(const LevelScanner&) = delete;

    // The next character, or EOF; its place is then here().
    int next()
    {
        const int ch = getc_unlocked(in);
        if (ch == '\n') {
            previousLineLength = column;
            ++line;
            column = 0;
        } else if (ch != EOF) {
            ++column;
            if (ch == '\r' && firstReturn.line == 0)
                firstReturn = here();
        }
        return ch;
    }
    // Puts back the character just read (nothing for EOF).
    void back(int ch);
    Place here() const { return Place{line, column}; }
    // Just past the last character of the line that `ch`, just read, ends.
    Place endOfLine(int ch) const;

    // Skips blanks, noting in crossedLine whether a line ended among them.
    void skipSpace();
    // Skips to just past the next line end.
    void skipToLineEnd();
    // How many bytes of a UTF-8 byte order mark the stream starts with (3:
    // all of it), those taken; the character after them is put back.
    int byteOrderMark();

    // Numbers as a point line spells them, after blanks: an int, signed or
    // not; a float, with fraction and exponent, rounded once, to float.
    Status readInt(int& value);
    Status readFloat(float& value);

    bool crossedLine = false;
    Place firstReturn{0, 0};  // of the first carriage return; line 0 if none

private:
    FILE* in;
    long line = 1;
    long column = 0;  // of the last character read
    long previousLineLength = 0;
};
