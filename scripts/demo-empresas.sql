-- The companies of the demo office that scripts/demo registers once in build/demo/dipam.db, with the
-- keys the demo server (tools/server/demo-seed.json) has for them, so that "Situação das entregas"
-- and "Entrega VAF para várias empresas" have companies to show. The hotel is left without its key.
-- A company already registered is left as it is.
INSERT INTO tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave, CCM, OptanteSimples)
  SELECT '7031234560063', 'Padaria Pão de Minas Ltda', '11.444.777/0001-61', '1091-1/02', 'B7T4M1QA', '', 0
  WHERE NOT EXISTS (SELECT 1 FROM tblContribuinte WHERE IE = '7031234560063');
INSERT INTO tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave, CCM, OptanteSimples)
  SELECT '7041234560055', 'Farmácia Ostarense Ltda', '45.997.418/0001-53', '4771-7/01', 'F3R8D2WK', '', 0
  WHERE NOT EXISTS (SELECT 1 FROM tblContribuinte WHERE IE = '7041234560055');
INSERT INTO tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave, CCM, OptanteSimples)
  SELECT '7051234560047', 'Oficina Mecânica Central Ltda', '34.028.316/0001-03', '4520-0/01', 'M6C1X9PE', '', 0
  WHERE NOT EXISTS (SELECT 1 FROM tblContribuinte WHERE IE = '7051234560047');
INSERT INTO tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave, CCM, OptanteSimples)
  SELECT '7071234560020', 'Laticínios Serra Azul Ltda', '21.654.893/0001-69', '1052-0/00', 'L9S3A7ZU', '', 0
  WHERE NOT EXISTS (SELECT 1 FROM tblContribuinte WHERE IE = '7071234560020');
INSERT INTO tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave, CCM, OptanteSimples)
  SELECT '7081234560012', 'Supermercado Ipê Amarelo Ltda', '32.541.687/0001-69', '4711-3/01', 'I5P8A2MV', '', 0
  WHERE NOT EXISTS (SELECT 1 FROM tblContribuinte WHERE IE = '7081234560012');
INSERT INTO tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave, CCM, OptanteSimples)
  SELECT '7091234560004', 'Transportadora Rota Mineira Ltda', '43.819.025/0001-24', '4930-2/02', 'T4R6M1NX', '', 0
  WHERE NOT EXISTS (SELECT 1 FROM tblContribuinte WHERE IE = '7091234560004');
INSERT INTO tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave, CCM, OptanteSimples)
  SELECT '7101234560070', 'Confecções Vila Rica ME', '51.726.384/0001-65', '1412-6/01', 'C8V3R5KQ', '', 1
  WHERE NOT EXISTS (SELECT 1 FROM tblContribuinte WHERE IE = '7101234560070');
INSERT INTO tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave, CCM, OptanteSimples)
  SELECT '7111234560061', 'Gráfica Ouro Preto Ltda', '62.938.475/0001-80', '1813-0/01', 'G2O7P4TW', '', 0
  WHERE NOT EXISTS (SELECT 1 FROM tblContribuinte WHERE IE = '7111234560061');
INSERT INTO tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave, CCM, OptanteSimples)
  SELECT '7121234560053', 'Materiais de Construção Barro Preto Ltda', '73.154.628/0001-15', '4744-0/01', 'B1P9M6HC', '', 0
  WHERE NOT EXISTS (SELECT 1 FROM tblContribuinte WHERE IE = '7121234560053');
INSERT INTO tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave, CCM, OptanteSimples)
  SELECT '7131234560045', 'Hotel Estrada Real Ltda', '84.627.153/0001-53', '5510-8/01', '', '', 0
  WHERE NOT EXISTS (SELECT 1 FROM tblContribuinte WHERE IE = '7131234560045');
