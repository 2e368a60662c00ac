// The two level file names and the level file format, both directions.
//
// A level file holds, per level: a structure line of "( n n ... )" groups
// giving each curve's point numbers, one "number x y z" line per point, and
// an empty line.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

class Splines;

// Where a numbered point of a level file goes; used only while reading.
struct vertexInfo {
    int curveNum;
    int posInCurve;
};

// Writes a file's contents to the stream; false when anything failed.
using FileWriter = std::function<bool(FILE*)>;

enum class SaveOutcome { Saved, CantOpen, CantWrite };

// Saves wherever a plain write of the name would work and never loses the
// old file: a new file, or one that a new file can replace with everything
// it had (mode, owner, group, its only link), is replaced by rename; any
// other regular file is written in place with its old bytes kept to put
// back; pipes and devices are written directly.
SaveOutcome saveFile(const std::string& name, const FileWriter& write);

class FileIO {
public:
    std::string writefile;
    std::string readfile;

    FileIO();
    void setOutputName(const char* filename);
    void setInputName(const char* filename);
    const std::string& getInputName() const;

    // Saves every level; the previous file stays whole if anything fails.
    void writeFile(std::vector<Splines*>& spline);
    // Replaces the list's levels with the file's; untouched if it can't open.
    void readFile(std::vector<Splines*>& spline);
};
