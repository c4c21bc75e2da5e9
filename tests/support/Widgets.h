#pragma once

#include <QObject>
#include <QString>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace qb::test {

// Thrown when a test looks for a child that is not there. gtest reports an
// exception from a test body as a failure of that test and goes on with the
// next, where a null pointer would take the whole executable down.
class MissingChild : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The child of `parent` named `name`. When there is none of that type, the
// test fails with the name and ends here.
template <typename T> T* child(const QObject& parent, const char* name)
{
    if (T* found = parent.findChild<T*>(QString::fromLatin1(name)))
        return found;
    const std::string what = std::string("no ") + T::staticMetaObject.className() + " named " + name;
    // Recorded as well as thrown, so that the failure stands even where a test
    // catches exceptions of its own.
    ADD_FAILURE() << what;
    throw MissingChild(what);
}

} // namespace qb::test
