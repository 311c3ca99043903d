#pragma once

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <dlfcn.h>

// Counts the transactions that a database connection of the relay commits:
// each is a flush of the disk that holds the relay's only thread. It hooks
// the SQLite library that Qt's driver has loaded (no headers of it needed).
class CommitCounter {
public:
    explicit CommitCounter(const QSqlDatabase& database) {
        const QVariant handle = database.driver()->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return;
        db_ = *static_cast<void* const*>(handle.data());
        library_ = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_NOLOAD);
        if (library_)
            hook_ = reinterpret_cast<Hook>(dlsym(library_, "sqlite3_commit_hook"));
        if (db_ && hook_)
            hook_(db_, &CommitCounter::counted, this);
    }
    ~CommitCounter() {
        if (db_ && hook_)
            hook_(db_, nullptr, nullptr);
        if (library_)
            dlclose(library_);
    }
    CommitCounter(const CommitCounter&) = delete;
    CommitCounter& operator=(const CommitCounter&) = delete;

    bool watching() const { return db_ && hook_; }
    int commits = 0;

private:
    using Hook = void* (*)(void*, int (*)(void*), void*);
    static int counted(void* counter) {
        ++static_cast<CommitCounter*>(counter)->commits;
        return 0; // let the commit go ahead
    }
    void* db_ = nullptr;
    void* library_ = nullptr;
    Hook hook_ = nullptr;
};
