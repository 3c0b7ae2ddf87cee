#pragma once

// The one ODBC environment of the process (ODBC 3 behaviour). It is made the
// first time a connection needs it and kept until the process ends, so that a
// connection left open at exit never outlives its environment.
class OdbcEnvironment
{
public:
    // Throws OdbcError when the driver manager cannot make the environment.
    static OdbcEnvironment &process();
    static bool exists();

    // The SQLHENV, kept opaque so that callers need no ODBC headers.
    void *handle() const { return mHandle; }

    OdbcEnvironment(const OdbcEnvironment &) = delete;
    OdbcEnvironment &operator=(const OdbcEnvironment &) = delete;

private:
    OdbcEnvironment();
    ~OdbcEnvironment() = default;

    void *mHandle = nullptr;
};
