-- The sample order-entry database on a server (PostgreSQL), loaded by
-- scripts/test-server into the database dalvera_sample. Column comments are
-- the field descriptions the table sheet shows; serial columns are
-- auto-numbers; a view and routines show up as views and stored procedures.

CREATE TABLE categories (
    category_id serial PRIMARY KEY,
    category_name varchar(30) NOT NULL,
    description text
);

CREATE TABLE products (
    product_id serial PRIMARY KEY,
    product_name varchar(50) NOT NULL,
    category_id integer REFERENCES categories (category_id),
    unit_price numeric(10,2) DEFAULT 0,
    units_in_stock smallint DEFAULT 0,
    discontinued boolean NOT NULL DEFAULT false,
    added_on timestamp DEFAULT now()
);

CREATE TABLE customers (
    customer_id serial PRIMARY KEY,
    company_name varchar(40) NOT NULL UNIQUE,
    contact_name varchar(30),
    country varchar(15) DEFAULT 'Netherlands',
    credit_limit numeric(12,2) DEFAULT 1000,
    is_active boolean DEFAULT true,
    notes text
);

CREATE TABLE orders (
    order_year smallint NOT NULL,
    order_no integer NOT NULL,
    customer_id integer NOT NULL REFERENCES customers (customer_id),
    order_date date DEFAULT current_date,
    shipped_date timestamp,
    freight double precision DEFAULT 0,
    PRIMARY KEY (order_year, order_no)
);

CREATE TABLE order_lines (
    order_year smallint NOT NULL,
    order_no integer NOT NULL,
    line_no smallint NOT NULL,
    product_id integer NOT NULL REFERENCES products (product_id),
    quantity smallint DEFAULT 1,
    unit_price numeric(10,2),
    PRIMARY KEY (order_year, order_no, line_no),
    FOREIGN KEY (order_year, order_no) REFERENCES orders (order_year, order_no) ON DELETE CASCADE
);

-- No primary key: shown read-only.
CREATE TABLE price_history (
    product_id integer,
    changed_on timestamp,
    old_price numeric(10,2),
    new_price numeric(10,2)
);

-- A second schema: its tables are named with it.
CREATE SCHEMA archive;
CREATE TABLE archive.orders_2019 (
    order_no integer PRIMARY KEY,
    customer_name varchar(40),
    total numeric(12,2)
);

COMMENT ON TABLE products IS 'Everything we sell';
COMMENT ON COLUMN products.product_name IS 'Name as printed on invoices';
COMMENT ON COLUMN products.unit_price IS 'Price per unit in euros';
COMMENT ON COLUMN customers.company_name IS 'Registered company name';
COMMENT ON COLUMN customers.credit_limit IS 'The most a customer may owe us';
COMMENT ON COLUMN orders.freight IS 'Shipping cost in euros';

INSERT INTO categories (category_name, description) VALUES
    ('Beverages', 'Soft drinks, coffees, teas, beers'),
    ('Condiments', 'Sweet and savoury sauces'),
    ('Dairy', 'Cheeses');

INSERT INTO products (product_name, category_id, unit_price, units_in_stock, discontinued, added_on) VALUES
    ('Chai', 1, 18.00, 39, false, '2024-01-15 09:30:00'),
    ('Chang', 1, 19.00, 17, false, '2024-01-15 09:31:00'),
    ('Aniseed Syrup', 2, 10.00, 13, false, '2024-02-01 14:00:00'),
    ('Gouda', 3, 21.50, 0, true, '2024-03-10 08:00:00');

INSERT INTO customers (company_name, contact_name, country, credit_limit, is_active, notes) VALUES
    ('Alfreds Futterkiste', 'Maria Anders', 'Germany', 2500.00, true, NULL),
    ('Bakkerij de Molen', 'Jan de Vries', 'Netherlands', 1000.00, true, 'Pays within 14 days'),
    ('Café Übersee', 'Zoë Müller', 'Austria', 500.00, false, NULL);

INSERT INTO orders (order_year, order_no, customer_id, order_date, shipped_date, freight) VALUES
    (2024, 1, 1, '2024-04-01', '2024-04-03 10:15:00', 12.5),
    (2024, 2, 2, '2024-04-02', NULL, 7.25),
    (2024, 3, 1, '2024-05-20', NULL, 0);

INSERT INTO order_lines (order_year, order_no, line_no, product_id, quantity, unit_price) VALUES
    (2024, 1, 1, 1, 10, 18.00),
    (2024, 1, 2, 3, 2, 10.00),
    (2024, 2, 1, 2, 5, 19.00),
    (2024, 3, 1, 4, 1, 21.50);

INSERT INTO price_history VALUES (1, '2023-12-01 00:00:00', 17.00, 18.00);
INSERT INTO archive.orders_2019 VALUES (1, 'Alfreds Futterkiste', 120.00);

CREATE VIEW customer_orders AS
    SELECT c.company_name, o.order_year, o.order_no, o.order_date, o.freight
    FROM customers c JOIN orders o ON o.customer_id = c.customer_id;

-- A procedure with an output parameter.
CREATE PROCEDURE order_total(IN p_order_year smallint, IN p_order_no integer, OUT p_total numeric)
LANGUAGE plpgsql AS $$
BEGIN
    SELECT coalesce(sum(quantity * unit_price), 0) INTO p_total
    FROM order_lines WHERE order_year = p_order_year AND order_no = p_order_no;
END $$;

-- A function that returns rows; its second parameter may be skipped.
CREATE FUNCTION orders_since(p_since date, p_country varchar DEFAULT NULL)
RETURNS TABLE (company_name varchar, order_no integer, order_date date)
LANGUAGE sql STABLE AS $$
    SELECT c.company_name, o.order_no, o.order_date
    FROM orders o JOIN customers c ON c.customer_id = o.customer_id
    WHERE o.order_date >= p_since AND (p_country IS NULL OR c.country = p_country)
    ORDER BY o.order_date
$$;

-- A procedure that changes data, with an input/output parameter.
CREATE PROCEDURE raise_prices(IN p_category integer, INOUT p_percent numeric)
LANGUAGE plpgsql AS $$
BEGIN
    UPDATE products SET unit_price = round(unit_price * (1 + p_percent / 100), 2) WHERE category_id = p_category;
    p_percent := p_percent;
END $$;
