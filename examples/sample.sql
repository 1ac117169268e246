-- The sample order-entry database, built by `dalvera-db create sample.sqlite sample.sql`.
--
-- Statements of the database dialect are separated by ";". Two directives of
-- the engine's own set what DDL cannot say:
--
--   PROPERTY [Table].[Field] Name = value, Name = value;   field properties
--   PROPERTY [Table] Name = value;                         table properties
--   QUERY [Name] AS statement;                              a stored query
--   QUERY [Name] TYPE n AS statement;                       with an explicit query type
--
-- Values are quoted texts ('..' or ".."), numbers, or True/False. Field
-- properties the table sheet reads: Caption, Description, Format, ColumnWidth
-- (twips), ColumnHidden, ValidationText, AppendOnly, DefaultValue (a default
-- the file cannot hold itself, such as newid). A stored query may begin with a
-- PARAMETERS clause; its ";" does not end the directive.

CREATE TABLE Categories (
    CategoryID COUNTER CONSTRAINT PK_Categories PRIMARY KEY,
    CategoryName TEXT(30) NOT NULL,
    Description MEMO,
    Picture LONGBINARY
);

CREATE TABLE Products (
    ProductID COUNTER CONSTRAINT PK_Products PRIMARY KEY,
    ProductName TEXT(50) NOT NULL,
    CategoryID LONG CONSTRAINT CategoriesProducts REFERENCES Categories (CategoryID),
    UnitPrice CURRENCY DEFAULT 0,
    UnitPriceUSD CURRENCY,
    Discount SINGLE DEFAULT 0,
    Weight DOUBLE,
    UnitsInStock SHORT DEFAULT 0,
    ShelfNo BYTE,
    Discontinued YESNO DEFAULT False,
    Barcode BINARY(8),
    TaxRate DECIMAL(5,4) DEFAULT 0.21,
    ProductCode GUID,
    AddedOn DATETIME DEFAULT Now()
);

CREATE TABLE Customers (
    CustomerID COUNTER CONSTRAINT PK_Customers PRIMARY KEY,
    CompanyName TEXT(40) NOT NULL,
    ContactName TEXT(30),
    Country TEXT(15) DEFAULT "Netherlands",
    Phone TEXT(24),
    CreditLimit CURRENCY DEFAULT 1000,
    IsActive YESNO DEFAULT True,
    Notes MEMO,
    InternalCode TEXT(10)
);

CREATE TABLE Employees (
    EmployeeID COUNTER CONSTRAINT PK_Employees PRIMARY KEY,
    LastName TEXT(20) NOT NULL,
    FirstName TEXT(10),
    BirthDate DATETIME,
    HireDate DATETIME,
    Extension TEXT(4),
    ReportsTo LONG CONSTRAINT EmployeesEmployees REFERENCES Employees (EmployeeID)
);

CREATE TABLE Orders (
    OrderYear SHORT NOT NULL,
    OrderNo LONG NOT NULL,
    CustomerID LONG NOT NULL,
    EmployeeID LONG,
    OrderDate DATETIME DEFAULT Now(),
    ShippedDate DATETIME,
    Freight CURRENCY DEFAULT 0,
    TrackingID GUID,
    CONSTRAINT PK_Orders PRIMARY KEY (OrderYear, OrderNo),
    CONSTRAINT CustomersOrders FOREIGN KEY (CustomerID) REFERENCES Customers (CustomerID),
    CONSTRAINT EmployeesOrders FOREIGN KEY (EmployeeID) REFERENCES Employees (EmployeeID)
);

CREATE TABLE OrderLines (
    OrderYear SHORT NOT NULL,
    OrderNo LONG NOT NULL,
    LineNo SHORT NOT NULL,
    ProductID LONG NOT NULL,
    Quantity SHORT DEFAULT 1,
    UnitPrice CURRENCY,
    Discount SINGLE DEFAULT 0,
    CONSTRAINT PK_OrderLines PRIMARY KEY (OrderYear, OrderNo, LineNo),
    CONSTRAINT OrdersOrderLines FOREIGN KEY (OrderYear, OrderNo) REFERENCES Orders (OrderYear, OrderNo),
    CONSTRAINT ProductsOrderLines FOREIGN KEY (ProductID) REFERENCES Products (ProductID)
);

-- No primary key: shown read-only.
CREATE TABLE PriceHistory (
    ProductID LONG,
    ChangedOn DATETIME,
    OldPrice CURRENCY,
    NewPrice CURRENCY
);

-- Starts with "x_": not listed.
CREATE TABLE x_ChangeLog (
    EntryID COUNTER PRIMARY KEY,
    Logged DATETIME DEFAULT Now(),
    Entry TEXT(255)
);

CREATE INDEX IX_ProductName ON Products (ProductName);
CREATE UNIQUE INDEX IX_CompanyName ON Customers (CompanyName);

PROPERTY [Categories] Description = 'Groups of products';
PROPERTY [Categories].[CategoryName] Caption = 'Category', ColumnWidth = 2200;
PROPERTY [Categories].[Description] Description = 'What the category holds';

PROPERTY [Products] Description = 'Everything we sell';
PROPERTY [Products].[ProductName] Caption = 'Product', Description = 'Name as printed on invoices', ColumnWidth = 3000;
PROPERTY [Products].[UnitPrice] Caption = 'Price', Format = 'Currency', Description = 'Price per unit in euros';
PROPERTY [Products].[UnitPriceUSD] Caption = 'Price (USD)', Format = '$#,##0.00';
PROPERTY [Products].[Discount] Format = 'Percent', ValidationText = 'A discount lies between 0 and 1.';
PROPERTY [Products].[Weight] Caption = 'Weight (kg)', Format = 'Standard';
PROPERTY [Products].[TaxRate] Format = '€#,##0.0000';
PROPERTY [Products].[ProductCode] DefaultValue = 'newid', Description = 'Code for the web shop';
PROPERTY [Products].[AddedOn] Caption = 'Added', Format = 'General Date';

PROPERTY [Customers].[CompanyName] Caption = 'Company', ColumnWidth = 3200, Description = 'Registered company name';
PROPERTY [Customers].[ContactName] Caption = 'Contact';
PROPERTY [Customers].[CreditLimit] Caption = 'Credit limit', Format = 'Currency';
PROPERTY [Customers].[IsActive] Caption = 'Active';
PROPERTY [Customers].[Notes] AppendOnly = True, Description = 'Remarks; new text is added, never replaced';
PROPERTY [Customers].[InternalCode] ColumnHidden = True, Description = 'Used by accounting only';

PROPERTY [Employees].[LastName] Caption = 'Last name';
PROPERTY [Employees].[FirstName] Caption = 'First name';
PROPERTY [Employees].[BirthDate] Caption = 'Birth date', Format = 'Short Date';
PROPERTY [Employees].[HireDate] Caption = 'Hired', Format = 'Medium Date';
PROPERTY [Employees].[ReportsTo] Caption = 'Reports to';

PROPERTY [Orders] Description = 'Orders placed by customers';
PROPERTY [Orders].[CustomerID] Description = 'The customer who placed the order';
PROPERTY [Orders].[EmployeeID] Description = 'The employee who took the order';
PROPERTY [Orders].[OrderDate] Caption = 'Ordered', Format = 'Short Date', Description = 'Day the order came in';
PROPERTY [Orders].[ShippedDate] Caption = 'Shipped', Format = 'Short Date';
PROPERTY [Orders].[Freight] Format = 'Currency', ValidationText = 'Freight cannot be negative.';
PROPERTY [Orders].[TrackingID] DefaultValue = 'newid';

PROPERTY [OrderLines].[Discount] Format = 'Percent';
PROPERTY [OrderLines].[UnitPrice] Caption = 'Price', Format = 'Currency';

INSERT INTO Categories (CategoryName, Description) VALUES ('Beverages', 'Coffee, tea and juices');
INSERT INTO Categories (CategoryName, Description) VALUES ('Bakery', 'Bread and pastry');
INSERT INTO Categories (CategoryName, Description) VALUES ('Dairy', 'Milk and cheese');

INSERT INTO Products (ProductName, CategoryID, UnitPrice, UnitPriceUSD, Discount, Weight, UnitsInStock, ShelfNo, Discontinued, TaxRate, ProductCode, AddedOn)
    VALUES ('Dark roast coffee', 1, 7.95, 8.60, 0, 0.5, 120, 3, False, 0.09, '{0F8FAD5B-D9CB-469F-A165-70867728950E}', #1/15/2024 09:30:00#);
INSERT INTO Products (ProductName, CategoryID, UnitPrice, UnitPriceUSD, Discount, Weight, UnitsInStock, ShelfNo, Discontinued, TaxRate, ProductCode, AddedOn)
    VALUES ('Green tea', 1, 4.25, 4.60, 0.1, 0.1, 80, 3, False, 0.09, '{7C9E6679-7425-40DE-944B-E07FC1F90AE7}', #2/1/2024#);
INSERT INTO Products (ProductName, CategoryID, UnitPrice, UnitPriceUSD, Discount, Weight, UnitsInStock, ShelfNo, Discontinued, TaxRate, AddedOn)
    VALUES ('Sourdough loaf', 2, 3.50, 3.80, 0, 0.8, 15, 1, False, 0.09, #3/10/2024#);
INSERT INTO Products (ProductName, CategoryID, UnitPrice, Discount, Weight, UnitsInStock, ShelfNo, Discontinued, TaxRate, AddedOn)
    VALUES ('Aged gouda', 3, 12.40, 0.05, 1.0, 22, 5, True, 0.09, #11/30/2023 16:45:00#);

INSERT INTO Customers (CompanyName, ContactName, Country, Phone, CreditLimit, IsActive, Notes, InternalCode)
    VALUES ('Harbour Foods', 'Anna de Vries', 'Netherlands', '+31 10 555 0101', 5000, True, 'Delivers on Tuesdays', 'HF-01');
INSERT INTO Customers (CompanyName, ContactName, Country, Phone, CreditLimit, IsActive, InternalCode)
    VALUES ('Corner Café', 'Piet Jansen', 'Belgium', '+32 3 555 0199', 1500, True, 'CC-07');
INSERT INTO Customers (CompanyName, ContactName, Country, IsActive)
    VALUES ('Old Mill Bakery', 'Sara Bakker', 'Netherlands', False);

INSERT INTO Employees (LastName, FirstName, BirthDate, HireDate, Extension) VALUES ('Visser', 'Jan', #5/4/1980#, #9/1/2015#, '201');
INSERT INTO Employees (LastName, FirstName, BirthDate, HireDate, Extension, ReportsTo) VALUES ('Smit', 'Eva', #12/24/1991#, #3/15/2020#, '214', 1);

INSERT INTO Orders (OrderYear, OrderNo, CustomerID, EmployeeID, OrderDate, ShippedDate, Freight, TrackingID)
    VALUES (2024, 1, 1, 1, #1/20/2024 10:15:00#, #1/22/2024#, 12.5, '{A3BB189E-8BF9-3888-9912-ACE4E6543002}');
INSERT INTO Orders (OrderYear, OrderNo, CustomerID, EmployeeID, OrderDate, Freight)
    VALUES (2024, 2, 2, 2, #2/14/2024 14:00:00#, 7.25);
INSERT INTO Orders (OrderYear, OrderNo, CustomerID, EmployeeID, OrderDate, Freight)
    VALUES (2025, 1, 1, 2, #1/3/2025 08:05:00#, 0);

INSERT INTO OrderLines (OrderYear, OrderNo, LineNo, ProductID, Quantity, UnitPrice, Discount) VALUES (2024, 1, 1, 1, 10, 7.95, 0);
INSERT INTO OrderLines (OrderYear, OrderNo, LineNo, ProductID, Quantity, UnitPrice, Discount) VALUES (2024, 1, 2, 3, 4, 3.50, 0.1);
INSERT INTO OrderLines (OrderYear, OrderNo, LineNo, ProductID, Quantity, UnitPrice, Discount) VALUES (2024, 2, 1, 2, 6, 4.25, 0);
INSERT INTO OrderLines (OrderYear, OrderNo, LineNo, ProductID, Quantity, UnitPrice, Discount) VALUES (2025, 1, 1, 4, 2, 12.40, 0.05);

INSERT INTO PriceHistory (ProductID, ChangedOn, OldPrice, NewPrice) VALUES (1, #6/1/2023#, 7.50, 7.95);
INSERT INTO x_ChangeLog (Entry) VALUES ('Sample database created');

QUERY [Products by category] AS
    SELECT c.CategoryName, p.ProductName, p.UnitPrice
    FROM Categories AS c INNER JOIN Products AS p ON p.CategoryID = c.CategoryID
    ORDER BY c.CategoryName, p.ProductName;

QUERY [Orders since for customer] AS
    PARAMETERS [Start date] DateTime, [Company] Text(40);
    SELECT o.OrderYear, o.OrderNo, o.OrderDate, c.CompanyName
    FROM Orders AS o INNER JOIN Customers AS c ON o.CustomerID = c.CustomerID
    WHERE o.OrderDate >= [Start date] AND c.CompanyName = [Company]
    ORDER BY o.OrderDate;

QUERY [Raise prices of beverages] AS
    UPDATE Products SET UnitPrice = UnitPrice * 1.05 WHERE CategoryID = 1;

-- Starts with "~": not listed.
QUERY [~sq_cOrders] AS SELECT * FROM Orders;
