// Qt texts from the ASCII literals of the tests: the build refuses to turn 8-bit text into a
// QString without being told its encoding.
#pragma once

#include <QString>
#include <QStringList>
#include <initializer_list>

namespace tavlo::test {

inline QStringList Texts(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts) {
        list << QString::fromLatin1(text);
    }
    return list;
}

}  // namespace tavlo::test
