#pragma once

#include "app/Form_main.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Widgets.h"
#include "util/FailureReport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QStackedWidget>
#include <gtest/gtest.h>
#include <memory>

namespace qb::test {

inline const QString kTitle = QStringLiteral("Tavrellquillbox");

// A main window on its own folder, with message boxes answered by the test.
class MainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override { start(); }

    void start()
    {
        window.reset();
        window = std::make_unique<Form_main>(folder.path(), dialogs, report);
    }

    // Never null: a missing widget fails the test with its name (see child()).
    template <typename T> T* find(const char* name) { return child<T>(*window, name); }
    void click(const char* name) { find<QAbstractButton>(name)->click(); }
    int page() { return find<QStackedWidget>("PageControl1")->currentIndex(); }
    QStringList items(const char* combo)
    {
        QStringList out;
        QComboBox* box = find<QComboBox>(combo);
        for (int i = 0; i < box->count(); ++i)
            out.append(box->itemText(i));
        return out;
    }

    TempFolder folder;
    RecordingDialogs dialogs;
    FailureReport report{dialogs, kTitle};
    std::unique_ptr<Form_main> window;
};

} // namespace qb::test
