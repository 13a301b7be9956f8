#pragma once

// One user table being written: its rows go to data pages as they fill, its memo and OLE values
// that do not fit a row to long value pages; definition and usage maps are written when it ends.

#include "Access.h"
#include "PaginasJet4.h"

#include <QVariantList>

#include <memory>

namespace tervalia::access::jet4 {

class ArquivoJet4;

class TabelaJet4
{
public:
    // Reserves the table's definition and usage map pages; nullptr with `erro` when the table cannot
    // be defined (messages name the table).
    static std::unique_ptr<TabelaJet4> inicia(ArquivoJet4& arquivo, const Tabela& tabela, QString& erro);
    ~TabelaJet4();

    bool escreve(const QVariantList& valores, QString& erro);
    bool conclui(QString& erro);

    const QString& nome() const { return m_tabela.nome; }
    quint32 paginaDefinicao() const { return m_paginaDefinicao; }

private:
    struct Longa;
    TabelaJet4(ArquivoJet4& arquivo, const Tabela& tabela, DefTabela def);

    bool codifica(int coluna, const QVariant& valor, QString& motivo);
    bool referenciaLonga(Longa& longa, QString& motivo);
    bool gravaEncadeado(Longa& longa, quint32& primeira);
    bool poeLinha();
    bool fechaPagina(PaginaDados& pagina, quint32 numero);
    bool gravaMapas(MapasTabela& mapas);
    QString falhaArquivo() const;

    ArquivoJet4& m_arquivo;
    Tabela m_tabela;
    DefTabela m_def;
    LayoutLinha m_layout;
    quint32 m_paginaDefinicao = 0;
    int m_paginasDefinicao = 1;
    quint32 m_paginaMapa = 0;
    int m_paginasMapa = 1;
    quint32 m_linhas = 0;

    PaginaDados m_pagina;
    quint32 m_numeroPagina = 0;
    bool m_paginaAberta = false;
    ConjuntoPaginas m_paginasDados;
    std::vector<std::unique_ptr<Longa>> m_longas; // by column, nullptr for other columns

    // Scratch space of one row.
    std::vector<LayoutLinha::Celula> m_celulas;
    QByteArray m_dados;
    QByteArray m_linha;
    QByteArray m_valorLongo;
};

} // namespace tervalia::access::jet4
