#pragma once

#include "platform/SingleWindow.h"

#include <QWidget>

#include <memory>

namespace Ui {
class frmUpload;
}

namespace tervalia {

// The VAF debit/credit delivery. For now only its window: the conversion, the document list and
// the send come with the VAF delivery itself.
class frmUpload : public QWidget, public SingleWindow<frmUpload>
{
    Q_OBJECT

public:
    explicit frmUpload(QWidget* parent = nullptr);
    ~frmUpload() override;

    // Shows the one instance.
    static frmUpload* abrir();

protected:
    void closeEvent(QCloseEvent* evento) override;

private:
    std::unique_ptr<Ui::frmUpload> m_ui;
};

} // namespace tervalia
