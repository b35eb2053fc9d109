// Entry point of gavrelo (the start-up flow arrives with the application library).
int main() { return 0; }
