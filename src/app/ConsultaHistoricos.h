#pragma once

#include "SituacaoEntregas.h"

#include <QList>
#include <QObject>
#include <QString>

namespace tervalia {

class ChamadaSoap;

// Asks the server for the history of many companies ("Transferencia.ver2", the envelope of the
// history refresh), a few calls at a time, without waiting: the interface goes on working while the
// answers come. Each company is asked once; a failed call is told for that company and the others
// go on.
class ConsultaHistoricos : public QObject
{
    Q_OBJECT

public:
    struct Empresa
    {
        QString ie;
        QString razaoSocial;
        QString chave;
        situacao::Consulta anterior; // kept, with the failure, when the call fails
    };

    static constexpr int maximoSimultaneas = 4;

    explicit ConsultaHistoricos(QObject* parent = nullptr);
    ~ConsultaHistoricos() override; // drops the calls under way, without signals

    // Starts asking for these companies, in this order; does nothing while a run is under way.
    void inicia(const QList<Empresa>& empresas);
    // No call starts any more; those under way end normally, then terminou comes.
    void cancela();

    bool emAndamento() const { return m_emAndamento; }
    bool cancelada() const { return m_cancelada; }
    int total() const { return int(m_empresas.size()); }
    int respondidas() const { return m_respondidas; }

signals:
    // A call starts: the numero-th company of total.
    void consultando(int numero, int total, const QString& razaoSocial);
    void consultada(const QString& ie, const tervalia::situacao::Consulta& consulta);
    void terminou();

private:
    void lanca();
    void conclui(ChamadaSoap* chamada, const QString& ie, const situacao::Consulta& consulta);

    QList<Empresa> m_empresas;
    int m_proxima = 0;
    int m_emCurso = 0;
    int m_respondidas = 0;
    bool m_emAndamento = false;
    bool m_cancelada = false;
};

} // namespace tervalia
