#pragma once

#include "platform/SingleWindow.h"

#include <QWidget>

#include <memory>

namespace Ui {
class frmSobre;
}

namespace tervalia {

// The About box. However it closes, it leaves the main window shown and usable.
class frmSobre : public QWidget, public SingleWindow<frmSobre>
{
    Q_OBJECT

public:
    explicit frmSobre(QWidget* parent = nullptr);
    ~frmSobre() override;

    // The contact line: the service's telephone and e-mail, fixed at installation.
    static QString contactLine();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::frmSobre> m_ui;
};

} // namespace tervalia
