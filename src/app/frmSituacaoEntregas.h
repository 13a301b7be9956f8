#pragma once

#include "ConsultaHistoricos.h"
#include "platform/SingleWindow.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace Ui {
class frmSituacaoEntregas;
}

namespace tervalia {

class ModeloSituacao;

// "Situação das entregas": every registered company with its latest delivery of the working year,
// as the server's history tells it. "Atualizar" asks the server for every company with a key, a
// few at a time, while the window and the main window go on working; what was learnt is kept in
// the program directory (situacao-entregas.json), so the window opens with the last state. A
// double click selects the company in the main window as "Selecionar" does.
class frmSituacaoEntregas : public QWidget, public SingleWindow<frmSituacaoEntregas>
{
    Q_OBJECT

public:
    explicit frmSituacaoEntregas(QWidget* parent = nullptr);
    ~frmSituacaoEntregas() override;

    // Shows the one instance, read afresh from the register and the file when it was not open.
    static frmSituacaoEntregas* abrir();
    // Asks the server again about these companies (they have just delivered): in the window when
    // it is open and idle, otherwise unseen, straight into the file.
    static void reconsulta(const QStringList& ies);

    bool consultando() const { return m_consulta->emAndamento(); }
    ModeloSituacao* modelo() const { return m_modelo; }

protected:
    void closeEvent(QCloseEvent* evento) override;

private:
    void carrega();
    void mostraUltimaAtualizacao();
    // Asks for these companies; a whole run dates the record.
    void inicia(const QList<ConsultaHistoricos::Empresa>& empresas, bool todas);
    void Atualizar_Click();
    void consultada(const QString& ie, const situacao::Consulta& consulta);
    void terminou();
    void grava();
    void selecionaNaPrincipal(const QModelIndex& indice);
    void exportar();

    std::unique_ptr<Ui::frmSituacaoEntregas> m_ui;
    ModeloSituacao* m_modelo;
    ConsultaHistoricos* m_consulta;
    QHash<QString, situacao::Consulta> m_novas; // answers of the run under way, not yet in the file
    QDateTime m_atualizadoEm;                   // of the last run over every company
    bool m_todas = false;
    int m_falhas = 0;
    QString m_erroRegistro; // why the file could not be read, when it could not
};

} // namespace tervalia
