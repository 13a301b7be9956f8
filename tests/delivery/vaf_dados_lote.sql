-- More companies for a delivery to many companies (gera_vaf_gdb.sh --lote): three more of the debit
-- and credit regime with documents of 2025, and one that the program's register does not hold.
INSERT INTO CONTRIBUINTE VALUES (4, '7031234560063', '11444777000161', 'Padaria Pão de Minas Ltda', 'Pão de Minas',
  'Rua Tiradentes, 45', 1, 2, 1, '2012-07-09', NULL);
INSERT INTO CONTRIBUINTE VALUES (5, '7041234560055', '45997418000153', 'Farmácia Ostarense Ltda', 'Drogaria Central',
  'Praça da Matriz, 3', 1, 2, 1, '2005-02-01', NULL);
INSERT INTO CONTRIBUINTE VALUES (6, '7051234560047', '34028316000103', 'Oficina Mecânica Central Ltda', 'Central Car',
  'Av. dos Inconfidentes, 880', 1, 1, 1, '2016-10-20', NULL);
INSERT INTO CONTRIBUINTE VALUES (7, '7061234560039', '61198164000160', 'Distribuidora Vale do Aço S.A.', 'Vale do Aço',
  'Rod. MG-050, km 12', 2, 2, 1, '1999-04-15', NULL);
INSERT INTO DOCUMENTO VALUES (702, 4, 'N', 1, 12, 2024, 2, '2025-03-01 10:00:00', 210000.00);
INSERT INTO DOCUMENTO VALUES (701, 4, 'N', 1, 12, 2025, 1, NULL, 225300.40);
INSERT INTO DOCUMENTO VALUES (711, 5, 'N', 1, 12, 2025, 1, NULL, 98000.00);
INSERT INTO DOCUMENTO VALUES (722, 6, 'S', 7, 12, 2025, 1, NULL, 51000.00);
INSERT INTO DOCUMENTO VALUES (721, 6, 'N', 1, 6, 2025, 1, NULL, 47500.75);
INSERT INTO DOCUMENTO VALUES (731, 7, 'N', 1, 12, 2025, 1, NULL, 3150000.00);
