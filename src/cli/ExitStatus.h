#pragma once

// How keldan, keldan-import and keldan-report end.
namespace ExitStatus {
constexpr int Done = 0;
constexpr int Database = 1;  // the database could not be reached or failed
constexpr int Usage = 2;     // an option, an argument or a file named that is not there
constexpr int File = 3;      // a file that cannot be read or written
}  // namespace ExitStatus
