#pragma once

// Command line, environment and file checks of the export tool; nothing here talks to the engine.

#include <stdexcept>
#include <string>

namespace fbexport {

struct Options
{
    std::string database;
    std::string user = "SYSDBA";
    std::string password;
    std::string table;
    std::string output;
    bool inserts = false;
    bool help = false;
};

// A failure that ends the program with its status and a message for standard error.
struct Failure : std::runtime_error
{
    Failure(int s, const std::string& message) : std::runtime_error(message), status(s) {}
    int status;
};

extern const char helpText[];

Options parseOptions(int argc, char** argv);
void useUtf8Locale();
void setLockDirectory();
void checkHeader(const std::string& path);
void checkDistinctFiles(const std::string& database, const std::string& output);

} // namespace fbexport
