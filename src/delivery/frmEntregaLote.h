#pragma once

#include "LoteVaf.h"
#include "platform/SingleWindow.h"

#include <QDateTime>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace Ui {
class frmEntregaLote;
}

namespace tervalia {

// "Entrega VAF para várias empresas": one VAF.GDB, converted once as the VAF window converts it,
// delivered for every registered debit/credit company it holds. Each company gets its own upload,
// one after the other, byte for byte the one the VAF window would post for it alone (its key, its
// documents of the working year, the same file under the chosen file's name); the certificate is
// asked for once per press. The main window stays usable.
class frmEntregaLote : public QWidget, public SingleWindow<frmEntregaLote>
{
    Q_OBJECT

public:
    explicit frmEntregaLote(QWidget* parent = nullptr);
    ~frmEntregaLote() override;

    // Shows the one instance.
    static frmEntregaLote* abrir();

    bool enviando() const { return m_envio->emAndamento(); }

protected:
    void closeEvent(QCloseEvent* evento) override;

private:
    void escolheArquivo();
    void converte(const QString& caminho);
    void lista();
    void setControlesAtivos(bool ativos);

    // frmEntregaLoteEnvio.cpp: the runs.
    void ligaEnvio();
    void Enviar_Click();
    void Reenviar_Click();
    void inicia(const QList<EnvioLote::Item>& itens);
    void terminou();

    std::unique_ptr<Ui::frmEntregaLote> m_ui;
    EnvioLote* m_envio;
    QString m_nomeArquivo; // the chosen file's name, under which the file is posted
    QString m_copia;       // this window's copy of the converted file: what it posts
    ComposicaoLote m_lote;
    QString m_anoTrabalho;
    QDateTime m_dataServidor;
    bool m_convertendo = false;
    bool m_fecharAoTerminar = false;
    bool m_certificadoValido = false;
    QList<EnvioLote::Item> m_itensDaVez; // of the run under way
    QSet<QString> m_respondidas;         // companies the server answered, in this window
    QList<EnvioLote::Item> m_falharam;   // of the last run, by their connection
    QStringList m_errosCopia;
};

} // namespace tervalia
