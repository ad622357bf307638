-- A store written by quillora-manager with schema version 1, kept to test
-- the migration to later versions. Made with the version-1 program:
--   profile add Work; field set First name Ann (Default);
--   field set Card number / Last name (Work); password set --profile Work
--   (password "old-secret"); import of three cards (a form set and a
--   navigation card protected by Work, an open mail card) and a default;
-- then dumped with the sqlite3 shell (.dump). The pragmas the dump leaves
-- out come first.
PRAGMA encoding = 'UTF-16le';
PRAGMA application_id = 1364282695;
PRAGMA user_version = 1;
PRAGMA foreign_keys=OFF;
BEGIN TRANSACTION;
CREATE TABLE settings (
  key TEXT PRIMARY KEY,
  value NOT NULL
) WITHOUT ROWID;
INSERT INTO settings VALUES('active_profile',1);
INSERT INTO settings VALUES('banner_mode',0);
INSERT INTO settings VALUES('language','');
INSERT INTO settings VALUES('lexicon.separators',' ~`!@#$%^&*()_-+=|\}]{[:;"''?/.,><');
INSERT INTO settings VALUES('options',89);
INSERT INTO settings VALUES('serial.data',7);
INSERT INTO settings VALUES('serial.language',1);
INSERT INTO settings VALUES('serial.lexicon',2);
CREATE TABLE profiles (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  name_key TEXT NOT NULL UNIQUE,
  password_hash TEXT NOT NULL DEFAULT '',
  position INTEGER NOT NULL
);
INSERT INTO profiles VALUES(1,'Default','default','',1);
INSERT INTO profiles VALUES(2,'Work','work','$argon2id$v=19$m=65536,t=2,p=1$d0bymk7efGzCqoMFZ1pMOg$2GzsbCx6++PJW1TwTk1Za6j/KZw/rW/xSw1I4n0Kdgc',2);
CREATE TABLE fields (
  id INTEGER PRIMARY KEY,
  caption TEXT NOT NULL,
  caption_key TEXT NOT NULL UNIQUE,
  field_name TEXT NOT NULL,
  field_key TEXT NOT NULL UNIQUE,
  group_name TEXT NOT NULL,
  input_kind INTEGER NOT NULL DEFAULT 0,
  value_kind INTEGER NOT NULL DEFAULT -1,
  position INTEGER NOT NULL
);
INSERT INTO fields VALUES(1,'Title','title','Title','title','Personal',0,-1,1);
INSERT INTO fields VALUES(2,'First name','first name','FirstName','firstname','Personal',0,-1,2);
INSERT INTO fields VALUES(3,'Middle name','middle name','MiddleName','middlename','Personal',0,-1,3);
INSERT INTO fields VALUES(4,'Last name','last name','LastName','lastname','Personal',0,-1,4);
INSERT INTO fields VALUES(5,'Full name','full name','FullName','fullname','Personal',0,-1,5);
INSERT INTO fields VALUES(6,'Nickname','nickname','Nickname','nickname','Personal',0,-1,6);
INSERT INTO fields VALUES(7,'Gender','gender','Gender','gender','Personal',0,-1,7);
INSERT INTO fields VALUES(8,'Birth date','birth date','BirthDate','birthdate','Personal',0,-1,8);
INSERT INTO fields VALUES(9,'Birth day','birth day','DayOfBirth','dayofbirth','Personal',0,-1,9);
INSERT INTO fields VALUES(10,'Birth month','birth month','MonthOfBirth','monthofbirth','Personal',0,-1,10);
INSERT INTO fields VALUES(11,'Birth year','birth year','YearOfBirth','yearofbirth','Personal',0,-1,11);
INSERT INTO fields VALUES(12,'E-mail','e-mail','Email','email','Contact',2,-1,12);
INSERT INTO fields VALUES(13,'Phone','phone','Phone','phone','Contact',3,-1,13);
INSERT INTO fields VALUES(14,'Mobile phone','mobile phone','MobilePhone','mobilephone','Contact',3,-1,14);
INSERT INTO fields VALUES(15,'Fax','fax','Fax','fax','Contact',3,-1,15);
INSERT INTO fields VALUES(16,'Website','website','Website','website','Contact',0,-1,16);
INSERT INTO fields VALUES(17,'Address line 1','address line 1','AddressLine1','addressline1','Address',0,-1,17);
INSERT INTO fields VALUES(18,'Address line 2','address line 2','AddressLine2','addressline2','Address',0,-1,18);
INSERT INTO fields VALUES(19,'House number','house number','HouseNumber','housenumber','Address',0,-1,19);
INSERT INTO fields VALUES(20,'City','city','City','city','Address',0,-1,20);
INSERT INTO fields VALUES(21,'State / Province','state / province','State','state','Address',0,-1,21);
INSERT INTO fields VALUES(22,'ZIP / Postal code','zip / postal code','PostalCode','postalcode','Address',0,-1,22);
INSERT INTO fields VALUES(23,'Country','country','Country','country','Address',0,-1,23);
INSERT INTO fields VALUES(24,'User name','user name','UserName','username','Login',0,-1,24);
INSERT INTO fields VALUES(25,'Password','password','Password','password','Login',1,-1,25);
INSERT INTO fields VALUES(26,'Security question','security question','SecurityQuestion','securityquestion','Login',0,-1,26);
INSERT INTO fields VALUES(27,'Security answer','security answer','SecurityAnswer','securityanswer','Login',0,-1,27);
INSERT INTO fields VALUES(28,'Card holder','card holder','CardHolder','cardholder','Credit card',0,-1,28);
INSERT INTO fields VALUES(29,'Card number','card number','CardNumber','cardnumber','Credit card',0,-1,29);
INSERT INTO fields VALUES(30,'Card type','card type','CardType','cardtype','Credit card',0,-1,30);
INSERT INTO fields VALUES(31,'Expiration month','expiration month','ExpirationMonth','expirationmonth','Credit card',0,-1,31);
INSERT INTO fields VALUES(32,'Expiration year','expiration year','ExpirationYear','expirationyear','Credit card',0,-1,32);
INSERT INTO fields VALUES(33,'Expiration date','expiration date','ExpirationDate','expirationdate','Credit card',0,-1,33);
INSERT INTO fields VALUES(34,'Security code','security code','SecurityCode','securitycode','Credit card',0,-1,34);
INSERT INTO fields VALUES(35,'Company','company','Company','company','Business',0,-1,35);
INSERT INTO fields VALUES(36,'Job title','job title','JobTitle','jobtitle','Business',0,-1,36);
INSERT INTO fields VALUES(37,'Department','department','Department','department','Business',0,-1,37);
INSERT INTO fields VALUES(38,'Work e-mail','work e-mail','WorkEmail','workemail','Business',2,-1,38);
INSERT INTO fields VALUES(39,'Work phone','work phone','WorkPhone','workphone','Business',3,-1,39);
INSERT INTO fields VALUES(40,'Tax ID','tax id','TaxId','taxid','Business',0,-1,40);
CREATE TABLE field_values (
  profile_id INTEGER NOT NULL REFERENCES profiles(id) ON DELETE CASCADE,
  field_id INTEGER NOT NULL REFERENCES fields(id) ON DELETE CASCADE,
  value TEXT NOT NULL DEFAULT '',
  candidates TEXT NOT NULL DEFAULT '',
  PRIMARY KEY (profile_id, field_id)
) WITHOUT ROWID;
INSERT INTO field_values VALUES(1,2,'Ann','');
INSERT INTO field_values VALUES(2,4,'Zyxwvut-Secret','');
INSERT INTO field_values VALUES(2,29,'4111111111111111','');
CREATE TABLE stop_words (
  position INTEGER PRIMARY KEY,
  word TEXT NOT NULL
);
INSERT INTO stop_words VALUES(1,'or');
INSERT INTO stop_words VALUES(2,'and');
CREATE TABLE word_lists (
  id INTEGER PRIMARY KEY,
  kind INTEGER NOT NULL,
  key TEXT NOT NULL,
  position INTEGER NOT NULL
);
INSERT INTO word_lists VALUES(1,0,'plugins',1);
INSERT INTO word_lists VALUES(2,0,'addons',2);
INSERT INTO word_lists VALUES(3,1,'Title',3);
INSERT INTO word_lists VALUES(4,1,'FirstName',4);
INSERT INTO word_lists VALUES(5,1,'MiddleName',5);
INSERT INTO word_lists VALUES(6,1,'LastName',6);
INSERT INTO word_lists VALUES(7,1,'FullName',7);
INSERT INTO word_lists VALUES(8,1,'Nickname',8);
INSERT INTO word_lists VALUES(9,1,'Gender',9);
INSERT INTO word_lists VALUES(10,1,'BirthDate',10);
INSERT INTO word_lists VALUES(11,1,'DayOfBirth',11);
INSERT INTO word_lists VALUES(12,1,'MonthOfBirth',12);
INSERT INTO word_lists VALUES(13,1,'YearOfBirth',13);
INSERT INTO word_lists VALUES(14,1,'Email',14);
INSERT INTO word_lists VALUES(15,1,'Phone',15);
INSERT INTO word_lists VALUES(16,1,'MobilePhone',16);
INSERT INTO word_lists VALUES(17,1,'Fax',17);
INSERT INTO word_lists VALUES(18,1,'Website',18);
INSERT INTO word_lists VALUES(19,1,'AddressLine1',19);
INSERT INTO word_lists VALUES(20,1,'AddressLine2',20);
INSERT INTO word_lists VALUES(21,1,'HouseNumber',21);
INSERT INTO word_lists VALUES(22,1,'City',22);
INSERT INTO word_lists VALUES(23,1,'State',23);
INSERT INTO word_lists VALUES(24,1,'PostalCode',24);
INSERT INTO word_lists VALUES(25,1,'Country',25);
INSERT INTO word_lists VALUES(26,1,'UserName',26);
INSERT INTO word_lists VALUES(27,1,'Password',27);
INSERT INTO word_lists VALUES(28,1,'SecurityQuestion',28);
INSERT INTO word_lists VALUES(29,1,'SecurityAnswer',29);
INSERT INTO word_lists VALUES(30,1,'CardHolder',30);
INSERT INTO word_lists VALUES(31,1,'CardNumber',31);
INSERT INTO word_lists VALUES(32,1,'CardType',32);
INSERT INTO word_lists VALUES(33,1,'ExpirationMonth',33);
INSERT INTO word_lists VALUES(34,1,'ExpirationYear',34);
INSERT INTO word_lists VALUES(35,1,'ExpirationDate',35);
INSERT INTO word_lists VALUES(36,1,'SecurityCode',36);
INSERT INTO word_lists VALUES(37,1,'Company',37);
INSERT INTO word_lists VALUES(38,1,'JobTitle',38);
INSERT INTO word_lists VALUES(39,1,'Department',39);
INSERT INTO word_lists VALUES(40,1,'WorkEmail',40);
INSERT INTO word_lists VALUES(41,1,'WorkPhone',41);
INSERT INTO word_lists VALUES(42,1,'TaxId',42);
CREATE TABLE list_words (
  list_id INTEGER NOT NULL REFERENCES word_lists(id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  word TEXT NOT NULL,
  PRIMARY KEY (list_id, position)
) WITHOUT ROWID;
INSERT INTO list_words VALUES(1,1,'plug-ins');
INSERT INTO list_words VALUES(1,2,'plug-in''s');
INSERT INTO list_words VALUES(2,1,'add-ons');
INSERT INTO list_words VALUES(2,2,'add-on''s');
INSERT INTO list_words VALUES(3,1,'title');
INSERT INTO list_words VALUES(3,2,'salutation');
INSERT INTO list_words VALUES(3,3,'honorific-prefix');
INSERT INTO list_words VALUES(3,4,'prefix');
INSERT INTO list_words VALUES(3,5,'name_prefix');
INSERT INTO list_words VALUES(4,1,'first_name');
INSERT INTO list_words VALUES(4,2,'firstname');
INSERT INTO list_words VALUES(4,3,'fname');
INSERT INTO list_words VALUES(4,4,'given-name');
INSERT INTO list_words VALUES(4,5,'givenname');
INSERT INTO list_words VALUES(4,6,'forename');
INSERT INTO list_words VALUES(4,7,'first');
INSERT INTO list_words VALUES(5,1,'middle_name');
INSERT INTO list_words VALUES(5,2,'middlename');
INSERT INTO list_words VALUES(5,3,'mname');
INSERT INTO list_words VALUES(5,4,'additional-name');
INSERT INTO list_words VALUES(5,5,'middle_initial');
INSERT INTO list_words VALUES(6,1,'last_name');
INSERT INTO list_words VALUES(6,2,'lastname');
INSERT INTO list_words VALUES(6,3,'lname');
INSERT INTO list_words VALUES(6,4,'surname');
INSERT INTO list_words VALUES(6,5,'family-name');
INSERT INTO list_words VALUES(6,6,'familyname');
INSERT INTO list_words VALUES(6,7,'last');
INSERT INTO list_words VALUES(7,1,'name');
INSERT INTO list_words VALUES(7,2,'full_name');
INSERT INTO list_words VALUES(7,3,'fullname');
INSERT INTO list_words VALUES(7,4,'your_name');
INSERT INTO list_words VALUES(7,5,'yourname');
INSERT INTO list_words VALUES(7,6,'contact_name');
INSERT INTO list_words VALUES(8,1,'nickname');
INSERT INTO list_words VALUES(8,2,'nick_name');
INSERT INTO list_words VALUES(8,3,'nick');
INSERT INTO list_words VALUES(8,4,'display_name');
INSERT INTO list_words VALUES(8,5,'displayname');
INSERT INTO list_words VALUES(8,6,'screen_name');
INSERT INTO list_words VALUES(9,1,'gender');
INSERT INTO list_words VALUES(9,2,'sex');
INSERT INTO list_words VALUES(10,1,'birth_date');
INSERT INTO list_words VALUES(10,2,'birthdate');
INSERT INTO list_words VALUES(10,3,'date_of_birth');
INSERT INTO list_words VALUES(10,4,'dateofbirth');
INSERT INTO list_words VALUES(10,5,'dob');
INSERT INTO list_words VALUES(10,6,'birthday');
INSERT INTO list_words VALUES(10,7,'bday');
INSERT INTO list_words VALUES(11,1,'birth_day');
INSERT INTO list_words VALUES(11,2,'dob_day');
INSERT INTO list_words VALUES(11,3,'day_of_birth');
INSERT INTO list_words VALUES(11,4,'birthday_day');
INSERT INTO list_words VALUES(11,5,'bday_day');
INSERT INTO list_words VALUES(12,1,'birth_month');
INSERT INTO list_words VALUES(12,2,'dob_month');
INSERT INTO list_words VALUES(12,3,'month_of_birth');
INSERT INTO list_words VALUES(12,4,'birthday_month');
INSERT INTO list_words VALUES(12,5,'bday_month');
INSERT INTO list_words VALUES(13,1,'birth_year');
INSERT INTO list_words VALUES(13,2,'dob_year');
INSERT INTO list_words VALUES(13,3,'year_of_birth');
INSERT INTO list_words VALUES(13,4,'birthday_year');
INSERT INTO list_words VALUES(13,5,'bday_year');
INSERT INTO list_words VALUES(13,6,'byear');
INSERT INTO list_words VALUES(14,1,'email');
INSERT INTO list_words VALUES(14,2,'e-mail');
INSERT INTO list_words VALUES(14,3,'mail');
INSERT INTO list_words VALUES(14,4,'email_address');
INSERT INTO list_words VALUES(14,5,'emailaddress');
INSERT INTO list_words VALUES(14,6,'e-mail_address');
INSERT INTO list_words VALUES(14,7,'confirm_email');
INSERT INTO list_words VALUES(15,1,'phone');
INSERT INTO list_words VALUES(15,2,'telephone');
INSERT INTO list_words VALUES(15,3,'tel');
INSERT INTO list_words VALUES(15,4,'phone_number');
INSERT INTO list_words VALUES(15,5,'phonenumber');
INSERT INTO list_words VALUES(15,6,'telephone_number');
INSERT INTO list_words VALUES(15,7,'home_phone');
INSERT INTO list_words VALUES(15,8,'homephone');
INSERT INTO list_words VALUES(15,9,'day_phone');
INSERT INTO list_words VALUES(15,10,'contact_number');
INSERT INTO list_words VALUES(16,1,'mobile');
INSERT INTO list_words VALUES(16,2,'mobile_phone');
INSERT INTO list_words VALUES(16,3,'mobilephone');
INSERT INTO list_words VALUES(16,4,'mobile_number');
INSERT INTO list_words VALUES(16,5,'cell');
INSERT INTO list_words VALUES(16,6,'cellphone');
INSERT INTO list_words VALUES(16,7,'cell_phone');
INSERT INTO list_words VALUES(16,8,'cell_number');
INSERT INTO list_words VALUES(17,1,'fax');
INSERT INTO list_words VALUES(17,2,'fax_number');
INSERT INTO list_words VALUES(17,3,'faxnumber');
INSERT INTO list_words VALUES(17,4,'facsimile');
INSERT INTO list_words VALUES(18,1,'website');
INSERT INTO list_words VALUES(18,2,'web_site');
INSERT INTO list_words VALUES(18,3,'homepage');
INSERT INTO list_words VALUES(18,4,'home_page');
INSERT INTO list_words VALUES(18,5,'url');
INSERT INTO list_words VALUES(18,6,'web');
INSERT INTO list_words VALUES(18,7,'site');
INSERT INTO list_words VALUES(19,1,'address');
INSERT INTO list_words VALUES(19,2,'address1');
INSERT INTO list_words VALUES(19,3,'address_1');
INSERT INTO list_words VALUES(19,4,'address_line_1');
INSERT INTO list_words VALUES(19,5,'address_line1');
INSERT INTO list_words VALUES(19,6,'addressline1');
INSERT INTO list_words VALUES(19,7,'addr');
INSERT INTO list_words VALUES(19,8,'addr1');
INSERT INTO list_words VALUES(19,9,'street');
INSERT INTO list_words VALUES(19,10,'street_address');
INSERT INTO list_words VALUES(19,11,'streetaddress');
INSERT INTO list_words VALUES(20,1,'address2');
INSERT INTO list_words VALUES(20,2,'address_2');
INSERT INTO list_words VALUES(20,3,'address_line_2');
INSERT INTO list_words VALUES(20,4,'address_line2');
INSERT INTO list_words VALUES(20,5,'addressline2');
INSERT INTO list_words VALUES(20,6,'addr2');
INSERT INTO list_words VALUES(20,7,'apartment');
INSERT INTO list_words VALUES(20,8,'apt');
INSERT INTO list_words VALUES(20,9,'suite');
INSERT INTO list_words VALUES(20,10,'unit');
INSERT INTO list_words VALUES(20,11,'building');
INSERT INTO list_words VALUES(21,1,'house_number');
INSERT INTO list_words VALUES(21,2,'housenumber');
INSERT INTO list_words VALUES(21,3,'house_no');
INSERT INTO list_words VALUES(21,4,'houseno');
INSERT INTO list_words VALUES(21,5,'street_number');
INSERT INTO list_words VALUES(21,6,'streetnumber');
INSERT INTO list_words VALUES(22,1,'city');
INSERT INTO list_words VALUES(22,2,'town');
INSERT INTO list_words VALUES(22,3,'locality');
INSERT INTO list_words VALUES(22,4,'address-level2');
INSERT INTO list_words VALUES(22,5,'suburb');
INSERT INTO list_words VALUES(23,1,'state');
INSERT INTO list_words VALUES(23,2,'province');
INSERT INTO list_words VALUES(23,3,'region');
INSERT INTO list_words VALUES(23,4,'county');
INSERT INTO list_words VALUES(23,5,'state_province');
INSERT INTO list_words VALUES(23,6,'address-level1');
INSERT INTO list_words VALUES(23,7,'state_code');
INSERT INTO list_words VALUES(24,1,'zip');
INSERT INTO list_words VALUES(24,2,'zipcode');
INSERT INTO list_words VALUES(24,3,'zip_code');
INSERT INTO list_words VALUES(24,4,'postcode');
INSERT INTO list_words VALUES(24,5,'post_code');
INSERT INTO list_words VALUES(24,6,'postal_code');
INSERT INTO list_words VALUES(24,7,'postalcode');
INSERT INTO list_words VALUES(24,8,'postal');
INSERT INTO list_words VALUES(24,9,'zip4');
INSERT INTO list_words VALUES(25,1,'country');
INSERT INTO list_words VALUES(25,2,'country_name');
INSERT INTO list_words VALUES(25,3,'countryname');
INSERT INTO list_words VALUES(25,4,'country_code');
INSERT INTO list_words VALUES(25,5,'countrycode');
INSERT INTO list_words VALUES(26,1,'username');
INSERT INTO list_words VALUES(26,2,'user_name');
INSERT INTO list_words VALUES(26,3,'user');
INSERT INTO list_words VALUES(26,4,'login');
INSERT INTO list_words VALUES(26,5,'login_name');
INSERT INTO list_words VALUES(26,6,'loginname');
INSERT INTO list_words VALUES(26,7,'userid');
INSERT INTO list_words VALUES(26,8,'user_id');
INSERT INTO list_words VALUES(26,9,'account_name');
INSERT INTO list_words VALUES(26,10,'uname');
INSERT INTO list_words VALUES(27,1,'password');
INSERT INTO list_words VALUES(27,2,'pass');
INSERT INTO list_words VALUES(27,3,'passwd');
INSERT INTO list_words VALUES(27,4,'pwd');
INSERT INTO list_words VALUES(27,5,'pword');
INSERT INTO list_words VALUES(27,6,'password1');
INSERT INTO list_words VALUES(27,7,'password2');
INSERT INTO list_words VALUES(27,8,'passwort');
INSERT INTO list_words VALUES(28,1,'security_question');
INSERT INTO list_words VALUES(28,2,'secret_question');
INSERT INTO list_words VALUES(28,3,'question');
INSERT INTO list_words VALUES(28,4,'hint_question');
INSERT INTO list_words VALUES(29,1,'security_answer');
INSERT INTO list_words VALUES(29,2,'secret_answer');
INSERT INTO list_words VALUES(29,3,'answer');
INSERT INTO list_words VALUES(29,4,'hint_answer');
INSERT INTO list_words VALUES(30,1,'card_holder');
INSERT INTO list_words VALUES(30,2,'cardholder');
INSERT INTO list_words VALUES(30,3,'name_on_card');
INSERT INTO list_words VALUES(30,4,'nameoncard');
INSERT INTO list_words VALUES(30,5,'cc_name');
INSERT INTO list_words VALUES(30,6,'ccname');
INSERT INTO list_words VALUES(30,7,'card_name');
INSERT INTO list_words VALUES(30,8,'holder_name');
INSERT INTO list_words VALUES(31,1,'card_number');
INSERT INTO list_words VALUES(31,2,'cardnumber');
INSERT INTO list_words VALUES(31,3,'cc_number');
INSERT INTO list_words VALUES(31,4,'ccnumber');
INSERT INTO list_words VALUES(31,5,'credit_card');
INSERT INTO list_words VALUES(31,6,'creditcard');
INSERT INTO list_words VALUES(31,7,'credit_card_number');
INSERT INTO list_words VALUES(31,8,'card_no');
INSERT INTO list_words VALUES(31,9,'cardno');
INSERT INTO list_words VALUES(31,10,'cc_num');
INSERT INTO list_words VALUES(31,11,'ccnum');
INSERT INTO list_words VALUES(32,1,'card_type');
INSERT INTO list_words VALUES(32,2,'cardtype');
INSERT INTO list_words VALUES(32,3,'cc_type');
INSERT INTO list_words VALUES(32,4,'cctype');
INSERT INTO list_words VALUES(32,5,'credit_card_type');
INSERT INTO list_words VALUES(32,6,'card_brand');
INSERT INTO list_words VALUES(33,1,'exp_month');
INSERT INTO list_words VALUES(33,2,'expmonth');
INSERT INTO list_words VALUES(33,3,'expiry_month');
INSERT INTO list_words VALUES(33,4,'expiration_month');
INSERT INTO list_words VALUES(33,5,'cc_exp_month');
INSERT INTO list_words VALUES(33,6,'card_exp_month');
INSERT INTO list_words VALUES(33,7,'exp_mm');
INSERT INTO list_words VALUES(33,8,'cc_month');
INSERT INTO list_words VALUES(34,1,'exp_year');
INSERT INTO list_words VALUES(34,2,'expyear');
INSERT INTO list_words VALUES(34,3,'expiry_year');
INSERT INTO list_words VALUES(34,4,'expiration_year');
INSERT INTO list_words VALUES(34,5,'cc_exp_year');
INSERT INTO list_words VALUES(34,6,'card_exp_year');
INSERT INTO list_words VALUES(34,7,'exp_yy');
INSERT INTO list_words VALUES(34,8,'exp_yyyy');
INSERT INTO list_words VALUES(34,9,'cc_year');
INSERT INTO list_words VALUES(35,1,'exp_date');
INSERT INTO list_words VALUES(35,2,'expdate');
INSERT INTO list_words VALUES(35,3,'expiry_date');
INSERT INTO list_words VALUES(35,4,'expiration_date');
INSERT INTO list_words VALUES(35,5,'expiry');
INSERT INTO list_words VALUES(35,6,'expiration');
INSERT INTO list_words VALUES(35,7,'cc_exp');
INSERT INTO list_words VALUES(35,8,'ccexp');
INSERT INTO list_words VALUES(35,9,'exp');
INSERT INTO list_words VALUES(36,1,'cvv');
INSERT INTO list_words VALUES(36,2,'cvv2');
INSERT INTO list_words VALUES(36,3,'cvc');
INSERT INTO list_words VALUES(36,4,'cvc2');
INSERT INTO list_words VALUES(36,5,'csc');
INSERT INTO list_words VALUES(36,6,'security_code');
INSERT INTO list_words VALUES(36,7,'securitycode');
INSERT INTO list_words VALUES(36,8,'card_code');
INSERT INTO list_words VALUES(36,9,'cc_csc');
INSERT INTO list_words VALUES(36,10,'card_verification');
INSERT INTO list_words VALUES(37,1,'company');
INSERT INTO list_words VALUES(37,2,'company_name');
INSERT INTO list_words VALUES(37,3,'companyname');
INSERT INTO list_words VALUES(37,4,'organization');
INSERT INTO list_words VALUES(37,5,'organisation');
INSERT INTO list_words VALUES(37,6,'org');
INSERT INTO list_words VALUES(37,7,'business_name');
INSERT INTO list_words VALUES(37,8,'employer');
INSERT INTO list_words VALUES(37,9,'firm');
INSERT INTO list_words VALUES(38,1,'job_title');
INSERT INTO list_words VALUES(38,2,'jobtitle');
INSERT INTO list_words VALUES(38,3,'position');
INSERT INTO list_words VALUES(38,4,'occupation');
INSERT INTO list_words VALUES(38,5,'role');
INSERT INTO list_words VALUES(38,6,'job');
INSERT INTO list_words VALUES(38,7,'organization-title');
INSERT INTO list_words VALUES(39,1,'department');
INSERT INTO list_words VALUES(39,2,'dept');
INSERT INTO list_words VALUES(39,3,'division');
INSERT INTO list_words VALUES(40,1,'work_email');
INSERT INTO list_words VALUES(40,2,'business_email');
INSERT INTO list_words VALUES(40,3,'office_email');
INSERT INTO list_words VALUES(40,4,'company_email');
INSERT INTO list_words VALUES(40,5,'work_mail');
INSERT INTO list_words VALUES(41,1,'work_phone');
INSERT INTO list_words VALUES(41,2,'workphone');
INSERT INTO list_words VALUES(41,3,'business_phone');
INSERT INTO list_words VALUES(41,4,'office_phone');
INSERT INTO list_words VALUES(41,5,'company_phone');
INSERT INTO list_words VALUES(41,6,'work_tel');
INSERT INTO list_words VALUES(42,1,'tax_id');
INSERT INTO list_words VALUES(42,2,'taxid');
INSERT INTO list_words VALUES(42,3,'vat');
INSERT INTO list_words VALUES(42,4,'vat_number');
INSERT INTO list_words VALUES(42,5,'vat_id');
INSERT INTO list_words VALUES(42,6,'vatin');
INSERT INTO list_words VALUES(42,7,'tax_number');
INSERT INTO list_words VALUES(42,8,'ein');
CREATE TABLE cards (
  id INTEGER PRIMARY KEY,
  kind INTEGER NOT NULL,
  owner_key TEXT NOT NULL,
  name TEXT NOT NULL,
  name_key TEXT NOT NULL,
  title TEXT NOT NULL DEFAULT '',
  data BLOB NOT NULL,
  protected_by INTEGER REFERENCES profiles(id) ON DELETE CASCADE,
  created INTEGER NOT NULL,
  updated INTEGER NOT NULL,
  UNIQUE (owner_key, name_key)
);
INSERT INTO cards VALUES(1,0,'bank.example/login','Bank','bank','Bank login',X'010000001a000000680074007400700073003a002f002f00620061006e006b002e006500780061006d0070006c0065002f006c006f00670069006e000400000070006f0073007400050000007500740066002d0038000000000001ffffffff0000000000000000000000000000000002000000000000000400000075007300650072000500000069006e00700075007400040000007400650078007400000000000c00000066006f0072006d0075007300650072002d00510078003700ffffffff000000000100000003000000700069006e000500000069006e0070007500740008000000700061007300730077006f0072006400000000000b00000066006f0072006d00700069006e002d004b0070003900ffffffff00000000',2,1700000000,1700000001);
INSERT INTO cards VALUES(2,1,'bank.example/login','Nav','nav','',X'6e61767365637265742d4c6d33',2,1700000000,1700000000);
INSERT INTO cards VALUES(3,2,'shop.example','Mail','mail','Order',X'6f70656e2d6d61696c2d64617461',NULL,1700000000,1700000000);
CREATE TABLE form_signatures (
  card_id INTEGER NOT NULL REFERENCES cards(id) ON DELETE CASCADE,
  action_url TEXT NOT NULL,
  method TEXT NOT NULL,
  shape INTEGER NOT NULL
);
INSERT INTO form_signatures VALUES(1,'https://bank.example/login','post',-6145786452477269567);
CREATE TABLE card_defaults (
  card_id INTEGER NOT NULL REFERENCES cards(id) ON DELETE CASCADE,
  profile_id INTEGER REFERENCES profiles(id) ON DELETE CASCADE,
  kind INTEGER NOT NULL,
  owner_key TEXT NOT NULL
);
INSERT INTO card_defaults VALUES(1,2,0,'bank.example/login');
CREATE TABLE page_notes (
  url TEXT PRIMARY KEY,
  title TEXT NOT NULL,
  text TEXT NOT NULL
) WITHOUT ROWID;
CREATE TABLE translations (
  language TEXT NOT NULL,
  source TEXT NOT NULL,
  translated TEXT NOT NULL,
  PRIMARY KEY (language, source)
) WITHOUT ROWID;
CREATE TABLE collected_values (
  id INTEGER PRIMARY KEY,
  value TEXT NOT NULL UNIQUE,
  collected INTEGER NOT NULL
);
CREATE INDEX field_values_by_field ON field_values(field_id);
CREATE INDEX word_lists_by_key ON word_lists(kind, key);
CREATE INDEX cards_by_kind ON cards(kind, owner_key);
CREATE INDEX cards_by_protection ON cards(protected_by);
CREATE INDEX form_signatures_lookup ON form_signatures(action_url, method, shape);
CREATE INDEX form_signatures_by_card ON form_signatures(card_id);
CREATE UNIQUE INDEX card_defaults_per_profile ON card_defaults(kind, owner_key, profile_id)
  WHERE profile_id IS NOT NULL;
CREATE UNIQUE INDEX card_defaults_for_all ON card_defaults(kind, owner_key)
  WHERE profile_id IS NULL;
CREATE INDEX card_defaults_by_card ON card_defaults(card_id);
CREATE INDEX card_defaults_by_profile ON card_defaults(profile_id);
COMMIT;
