// Names of the files the user keeps: the local date and time, and never the
// name of a file already there.
#pragma once

#include <ctime>
#include <string>

// The local time now (what the user's clock says), for the names below.
std::tm LocalTimeNow();

// "Veltrona 2026-12-07 10.15.30" for that local time.
std::string TimestampedName(const std::tm& local);

// szPath when no file has that name; else the same with " (2)", " (3)", ...
// before the extension, the first free one. pfnExists null: PathExists.
std::string UniquePath(const std::string& szPath, bool (*pfnExists)(const std::string&) = nullptr);

// Like UniquePath, but the file is made there and then, empty, and only if no
// file had the name (O_EXCL, CREATE_NEW): two programs never get one name.
// The name made; empty when none could be (szError says why).
std::string CreateUniqueFile(const std::string& szPath, std::string& szError);

// What --record's value means: inside an existing folder, a new file named
// szAutoName; anything else is the file's own name.
std::string RecordPathFor(const std::string& szGiven, const std::string& szAutoName);

// Removes the file at the UTF-8 path (a reserved name left unused).
void RemoveFile(const std::string& szPath);

// Whether something exists at the UTF-8 path.
bool PathExists(const std::string& szPath);

// The last part of a path (after / or \), for the user's notices.
std::string FileNameOf(const std::string& szPath);

// szFolder joined with szName by the platform's separator.
std::string JoinPath(const std::string& szFolder, const std::string& szName);
