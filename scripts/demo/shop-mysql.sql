-- A small shop for the demo: decimals, timestamps, Nulls and non-ASCII names.
DROP TABLE IF EXISTS orders;
DROP TABLE IF EXISTS products;
DROP TABLE IF EXISTS customers;

CREATE TABLE customers (
  id INT UNSIGNED PRIMARY KEY,
  name VARCHAR(100) NOT NULL,
  city VARCHAR(60),
  email VARCHAR(120),
  joined DATETIME(6) NOT NULL
) CHARACTER SET utf8mb4;

INSERT INTO customers VALUES
  (1, 'Zoë Brontë', 'Zürich', 'zoe@example.org', '2021-03-14 09:26:53.589793'),
  (2, 'José Ñúñez', 'São Paulo', NULL, '2022-07-01 12:00:00'),
  (3, '山田 太郎', '東京', 'taro@example.jp', '2023-01-09 18:45:10.5'),
  (4, 'Siobhán O''Connor', 'Dún Laoghaire', 'siobhan@example.ie', '2023-11-30 23:59:59.999999'),
  (5, 'Ångström AB', NULL, NULL, '2024-02-29 00:00:00');

CREATE TABLE products (
  sku CHAR(8) PRIMARY KEY,
  title VARCHAR(200) NOT NULL,
  price DECIMAL(10,2) NOT NULL,
  weight_kg DOUBLE,
  in_stock TINYINT(1) NOT NULL,
  notes TEXT
) CHARACTER SET utf8mb4;

INSERT INTO products VALUES
  ('CAF-0001', 'Café crème beans, 1 kg', 18.90, 1.0, 1, 'Roasted in Köln'),
  ('TEA-0002', 'Matcha 抹茶, 100 g', 24.50, 0.1, 1, NULL),
  ('MUG-0003', 'Mug "Hello, world" 🌍', 9.99, 0.35, 0, 'Dishwasher safe; it''s sturdy'),
  ('KET-0004', 'Kettle 1.7 l', 49.00, 1.2, 1, ''),
  ('GFT-0005', 'Gift card', 25.00, NULL, 1, 'Value\\with backslash');

CREATE TABLE orders (
  id BIGINT PRIMARY KEY,
  customer_id INT UNSIGNED NOT NULL,
  sku CHAR(8) NOT NULL,
  quantity SMALLINT NOT NULL,
  total DECIMAL(12,2) NOT NULL,
  ordered_at DATETIME(6) NOT NULL,
  shipped_on DATE,
  comment VARCHAR(255)
) CHARACTER SET utf8mb4;

INSERT INTO orders VALUES
  (1001, 1, 'CAF-0001', 2, 37.80, '2024-01-05 10:15:00', '2024-01-06', 'Bitte klingeln'),
  (1002, 3, 'TEA-0002', 1, 24.50, '2024-01-07 08:00:00.25', NULL, NULL),
  (1003, 2, 'MUG-0003', 4, 39.96, '2024-02-11 16:30:45', '2024-02-13', 'Presente para a mãe'),
  (1004, 4, 'KET-0004', 1, 49.00, '2024-02-29 12:00:00', '2024-03-01', ''),
  (1005, 5, 'GFT-0005', 3, 75.00, '2024-03-15 19:05:59.123456', NULL, 'Tack så mycket');
