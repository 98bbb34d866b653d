// The log a user switches on (VELTRONA_LOG): every line, in UTF-8 (the texts in GBK converted where
// they are formatted), prefixed with the milliseconds since the log was opened.
#pragma once

// "-" is standard error; anything else a file, appended to. False when the
// file cannot be opened (the log then stays off).
bool OpenLogFile(const char* szPath);

// The sink for the log lines (a LogLineSink; the context is unused): UTF-8,
// written as it is. Safe from any thread; a line is written and flushed whole,
// so a program that is killed keeps every line before it.
void WriteLogLine(void* pContext, const char* szUtf8Line);

// Closes a file (standard error stays open); later lines go nowhere.
void CloseLogFile();
