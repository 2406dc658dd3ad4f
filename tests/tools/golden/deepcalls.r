/* Each call pushes only its result slot, so the call stack fills first. */
down() { down(); }
main() { down(); }
