#pragma once

#include "util/vornDialogs.h"

namespace qb {

// The real boxes: application-modal QMessageBox without a parent window.
class MessageBoxDialogs : public Dialogs
{
public:
    void info(const QString& text) override;
    bool yesNo(const QString& question) override;
    void failure(const QString& text, const QString& caption) override;
};

} // namespace qb
