extern "C" void load_zun_clubs(void*) {}
