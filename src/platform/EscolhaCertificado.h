#pragma once

#include "platform/CertStore.h"
#include "platform/LinhaCertificado.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace Ui {
class EscolhaCertificado;
}

namespace tervalia {

// The certificate chooser: one row per certificate of the user's store that has its key, a filter
// field, and the import of an A1 file. Modal, owned by the calling window.
//
// Tests switch on the test mode: the chooser is then built with its rows but not shown, its
// actions come from a queue (choose by holder, import a file, cancel; an empty queue cancels),
// and what it offered is recorded.
class EscolhaCertificado : public QDialog
{
    Q_OBJECT

public:
    struct Textos
    {
        QString titulo;
        QString texto;
    };

    using Linha = LinhaCertificado;
    using Situacao = LinhaCertificado::Situacao;

    struct Oferecido
    {
        QString titulo;
        QString texto;
        QList<Linha> linhas;
        QStringList avisos;
    };

    // Lists the store (tokens ask for their PIN first) and lets the user choose. Nothing when the
    // user cancels. Throws certstore::StoreError when the store cannot be opened at all.
    static std::optional<certstore::Certificate> escolher(QWidget* dono, const Textos& textos);

    EscolhaCertificado(QWidget* dono, const Textos& textos, certstore::Listing lista);
    ~EscolhaCertificado() override;

    Oferecido oferecido() const;
    std::optional<certstore::Certificate> selecionado() const;
    // Selects the first row of that holder; false when there is none.
    bool selecionaTitular(const QString& titular);
    // Whether the selected certificate may be used: an expired one is refused with a message.
    bool confirma();
    // Imports the file into the store and selects it; a refusal is shown and changes nothing.
    bool importa(const QString& arquivo, const QString& senha);

    // Test support.
    static void setTestMode(bool enabled);
    static bool testMode();
    static void queueEscolha(const QString& titular);
    static void queueImportacao(const QString& arquivo, const QString& senha);
    static void queueCancelamento();
    static int pendingActions();
    static QList<Oferecido> takeOferecidos();
    static void reset();

private:
    static std::optional<certstore::Certificate> escolheEmTeste(EscolhaCertificado& dialogo);
    certstore::PinCallback pedePin();
    void preenche();
    void filtra(const QString& filtro);
    void aceita();
    void atualiza();
    void importaArquivo();
    void atualizaBotoes();
    bool selecionaDer(const QByteArray& der);

    std::unique_ptr<Ui::EscolhaCertificado> m_ui;
    certstore::Listing m_lista;
    QDateTime m_agora;
};

} // namespace tervalia
