#pragma once

#include "platform/SingleWindow.h"

#include <QWidget>

#include <memory>

namespace Ui {
class Abertura;
}

namespace tervalia {

// The opening window: the program's first window, gone for good once the user moves on.
class Abertura : public QWidget, public SingleWindow<Abertura>
{
    Q_OBJECT

public:
    explicit Abertura(QWidget* parent = nullptr);
    ~Abertura() override;

private:
    void iniciar();
    void sobre();

    std::unique_ptr<Ui::Abertura> m_ui;
};

} // namespace tervalia
