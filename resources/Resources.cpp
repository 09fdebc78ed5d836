// Pictures live in images/ and are reached as ":/images/<name>".
