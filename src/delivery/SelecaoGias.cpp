#include "SelecaoGias.h"

#include <algorithm>

namespace tervalia {

bool anoAceito(const QString& referencia, const QString& anoTrabalho)
{
    const QString ano = referencia.right(4);
    if (ano.size() != 4 || !std::all_of(ano.begin(), ano.end(), [](QChar c) { return c.isDigit(); }))
        return false;
    return anoTrabalho.contains(ano);
}

SelecaoGias selecionaGias(const QList<LinhaGia>& linhas, int linhaAtual, int fimSelecao, const QString& anoTrabalho,
                          bool& msgTrabalho)
{
    SelecaoGias selecao;
    const int primeira = std::max(0, std::min(linhaAtual, fimSelecao));
    const int ultima = std::min(int(linhas.size()) - 1, std::max(linhaAtual, fimSelecao));
    for (int i = primeira; i <= ultima; ++i) {
        const LinhaGia& linha = linhas.at(i);
        if (anoAceito(linha.referencia, anoTrabalho)) {
            selecao.aceitas.append(linha.nroGia);
            ++selecao.giaCerta;
        } else if (!msgTrabalho) {
            msgTrabalho = true;
            selecao.mensagemAno =
                linhaAtual < fimSelecao
                    ? QStringLiteral("Você deverá consultar a administração para saber quais documentos poderão "
                                     "ser aceitos. ") +
                          anoTrabalho
                    : QStringLiteral("Somente serão aceitas GIAS de ") + anoTrabalho;
        }
    }
    return selecao;
}

} // namespace tervalia
