// Translation unit that keeps the library non-empty while its parts are added.
