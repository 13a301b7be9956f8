#pragma once

#include "platform/SingleWindow.h"
#include "storage/CopiaSeguranca.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class frmCopiaSeguranca;
}

namespace tervalia {

class JanelaPrincipal;

// The backup of the program directory to one .zip and its restore, with this small window showing
// the progress meanwhile (the main window waits, the event loop keeps running).
class frmCopiaSeguranca : public QWidget, public SingleWindow<frmCopiaSeguranca>
{
    Q_OBJECT

public:
    explicit frmCopiaSeguranca(QWidget* parent = nullptr);
    ~frmCopiaSeguranca() override;

    // "Cópia de segurança…": asks where to write it, writes it, says how it went.
    static void fazerCopia(JanelaPrincipal& principal);
    // "Restaurar cópia de segurança…": asks which file, shows its manifest and asks, restores it,
    // says how it went. A restored database withdraws the main window's selection.
    static void restaurar(JanelaPrincipal& principal);

private:
    static void emAndamento(JanelaPrincipal& principal, const QString& titulo, const QString& acao,
                            const std::function<void(const AoProgredir&)>& trabalho);
    bool progride(const Progresso& p);

    std::unique_ptr<Ui::frmCopiaSeguranca> m_ui;
    QElapsedTimer m_relogio;
    bool m_cancelado = false;
};

} // namespace tervalia
